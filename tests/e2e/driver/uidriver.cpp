// Test driver for the end-to-end runs: finds a top-level window by caption under Wine, reads its controls and works them.
//
//   uidriver wait CAPTION [timeout_ms]   wait for the window, then print its controls
//   uidriver texts CAPTION               print the controls of the window (waits like wait)
//   uidriver type CAPTION ID TEXT        set the text of control ID (WM_SETTEXT)
//   uidriver press CAPTION ID            post WM_COMMAND for button ID, as a click does
//   uidriver close CAPTION               post WM_CLOSE
//   uidriver gone CAPTION [timeout_ms]   wait until no window has that caption
//   uidriver list                        print every visible top-level window: caption, tab, class (for diagnosis)
//
// Each control prints as one line: decimal id, tab, class name, tab, text. IDs are read with
// strtoul base 0, so 0xFFFF (a message box's text) works as well as 65535.
// Exit status: 0 done, 1 no such window in time, 2 no such control, 3 bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kDefaultTimeoutMs = 30000;
constexpr DWORD kPollMs = 100;

struct Search {
  const char* caption;
  HWND enabled;  // a modal box's owner carries the same caption but is disabled: prefer the box
  HWND any;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  char text[512];
  if (!IsWindowVisible(window)) return TRUE;
  GetWindowTextA(window, text, sizeof text);
  if (std::strcmp(text, search->caption) != 0) return TRUE;
  if (!search->any) search->any = window;
  if (!search->enabled && IsWindowEnabled(window)) search->enabled = window;
  return TRUE;
}

HWND FindByCaption(const char* caption) {
  Search search{caption, nullptr, nullptr};
  EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.enabled ? search.enabled : search.any;
}

HWND WaitForWindow(const char* caption, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = FindByCaption(caption)) return window;
    if (GetTickCount() - start >= timeout_ms) return nullptr;
    Sleep(kPollMs);
  }
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  char class_name[128];
  char text[1024] = "";
  DWORD_PTR copied = 0;
  GetClassNameA(control, class_name, sizeof class_name);
  // GetWindowTextA does not ask a control of another process for its text (an edit's stays empty): send WM_GETTEXT.
  SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
  std::printf("%d\t%s\t%s\n", GetDlgCtrlID(control), class_name, text);
  return TRUE;
}

DWORD ParseTimeout(int argc, char** argv, int index) {
  return argc > index ? static_cast<DWORD>(std::strtoul(argv[index], nullptr, 0)) : kDefaultTimeoutMs;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM) {
  char class_name[128];
  char text[512];
  if (!IsWindowVisible(window)) return TRUE;
  GetClassNameA(window, class_name, sizeof class_name);
  GetWindowTextA(window, text, sizeof text);
  std::printf("%s\t%s\n", text, class_name);
  return TRUE;
}

int Usage() {
  std::fputs("usage: uidriver wait|texts|type|press|close|gone CAPTION [args] | uidriver list\n", stderr);
  return 3;
}

int Gone(const char* caption, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (FindByCaption(caption)) {
    if (GetTickCount() - start >= timeout_ms) {
      std::fprintf(stderr, "uidriver: \"%s\" still open\n", caption);
      return 1;
    }
    Sleep(kPollMs);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
    EnumWindows(PrintWindow, 0);
    std::fflush(stdout);
    return 0;
  }
  if (argc < 3) return Usage();
  const char* command = argv[1];
  const char* caption = argv[2];

  if (std::strcmp(command, "gone") == 0) return Gone(caption, ParseTimeout(argc, argv, 3));

  const DWORD timeout_ms = std::strcmp(command, "wait") == 0 ? ParseTimeout(argc, argv, 3) : kDefaultTimeoutMs;
  HWND window = WaitForWindow(caption, timeout_ms);
  if (!window) {
    std::fprintf(stderr, "uidriver: no window \"%s\"\n", caption);
    return 1;
  }

  if (std::strcmp(command, "wait") == 0 || std::strcmp(command, "texts") == 0) {
    EnumChildWindows(window, PrintControl, 0);
    std::fflush(stdout);
    return 0;
  }
  if (std::strcmp(command, "close") == 0) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (argc < 4) return Usage();
  const int id = static_cast<int>(std::strtoul(argv[3], nullptr, 0));
  HWND control = GetDlgItem(window, id);
  if (!control) {
    std::fprintf(stderr, "uidriver: \"%s\" has no control %d\n", caption, id);
    return 2;
  }
  if (std::strcmp(command, "type") == 0 && argc >= 5) {
    // Sent, not posted: the text must be in place before the next command presses a button.
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
    return 0;
  }
  if (std::strcmp(command, "press") == 0) {
    // Posted: the handler may run a long modal job (the extraction) that must not block the driver.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return 0;
  }
  return Usage();
}
