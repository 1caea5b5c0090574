// The install dialog: titles, the proposed directory, centring, Cancel and the minimised icon.
#include "ui/install_dialog.h"

#include "platform/platform.h"
#include "startup/work_area.h"
#include "ui/resource.h"

HICON ProgramIcon;

namespace {

void CentreOnScreen(HWND dialog) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  RECT frame;
  GetWindowRect(dialog, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  // Integer division truncates toward zero, so a dialog larger than the screen lands at a negative position.
  MoveWindow(dialog, (screenWidth - width) / 2, (screenHeight - height) / 2, width, height, FALSE);
}

INT_PTR InitialiseDialog(HWND dialog) {
  SetWindowTextA(dialog, Work->WindowTitle);
  if (Work->InstallTitle[0] != '\0') SetDlgItemTextA(dialog, IDC_TITLE_LABEL, Work->InstallTitle);
  SetDlgItemTextA(dialog, IDC_DIRECTORY_FIELD, Work->Settings.InstallDir);
  SendDlgItemMessageA(dialog, IDC_DIRECTORY_FIELD, EM_LIMITTEXT, 255, 0);
  CentreOnScreen(dialog);
  Work->Extracting = 0;
  Work->CancelRequested = 0;
  ProgramIcon = LoadIconA(static_cast<HINSTANCE>(InstanceHandle), MAKEINTRESOURCEA(IDI_ICON1));
  // Returning 1 lets the dialog manager focus the first enabled tab stop.
  return 1;
}

INT_PTR HandleCommand(HWND dialog, int controlId) {
  if (controlId != IDCANCEL) return 0;
  // During extraction the progress step sees the request after its message pump and aborts there.
  if (Work->Extracting) {
    Work->CancelRequested = 1;
  } else {
    EndDialog(dialog, 0);
  }
  return 1;
}

void PaintMinimisedIcon(HWND dialog) {
  PAINTSTRUCT paint;
  const HDC context = BeginPaint(dialog, &paint);
  const int mapMode = GetMapMode(context);
  SendMessageA(dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
  SetMapMode(context, MM_TEXT);
  DrawIcon(context, 0, 0, ProgramIcon);
  SetMapMode(context, mapMode);
  EndPaint(dialog, &paint);
}

}  // namespace

INT_PTR CALLBACK InstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return InitialiseDialog(dialog);
    case WM_COMMAND:
      return HandleCommand(dialog, LOWORD(wParam));
    case WM_PAINT:
      // Only the minimised window is ours to paint; otherwise the dialog manager paints.
      if (IsIconic(dialog)) PaintMinimisedIcon(dialog);
      return 0;
    case WM_ERASEBKGND:
      return IsIconic(dialog) ? 1 : 0;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(ProgramIcon);
    case WM_CLOSE:
      // Returning 0 lets the dialog manager turn the close into the Cancel command.
      DestroyIcon(ProgramIcon);
      return 0;
    default:
      return 0;
  }
}

intptr_t RunInstallDialog() {
  return DialogBoxParamA(static_cast<HINSTANCE>(InstanceHandle), "SfxDialog", nullptr, InstallDialogProc, 0);
}
