// Message boxes, the dialog's label texts and the message pump that runs while files are written.
#include <windows.h>

#include "platform/platform.h"

MessageAnswer ShowMessageBox(WindowHandle owner, const char* text, const char* caption, MessageStyle style) {
  // Indexed by MessageStyle.
  static constexpr UINT Styles[] = {
      MB_ICONERROR | MB_OK,
      MB_ICONQUESTION | MB_YESNO,
      MB_ICONQUESTION | MB_YESNOCANCEL,
      MB_ICONWARNING | MB_OK,
  };
  switch (MessageBoxA(static_cast<HWND>(owner), text, caption, MB_TASKMODAL | Styles[static_cast<int>(style)])) {
    case IDYES: return MessageAnswer::Yes;
    case IDNO: return MessageAnswer::No;
    case IDCANCEL: return MessageAnswer::Cancel;
    default: return MessageAnswer::Ok;
  }
}

void SetControlText(WindowHandle dialog, int controlId, const char* text) {
  SetDlgItemTextA(static_cast<HWND>(dialog), controlId, text);
}

void PumpMessages(WindowHandle dialog) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageA(static_cast<HWND>(dialog), &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}
