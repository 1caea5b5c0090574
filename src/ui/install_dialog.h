// The install dialog's procedure and the icon it shows while minimised.
#pragma once
#include <windows.h>

extern HICON ProgramIcon;

INT_PTR CALLBACK InstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
