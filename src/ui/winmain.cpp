// The Win32 GUI entry point: hands the instance to start-up; the C runtime exits with the returned status.
#include <windows.h>

#include "startup/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunInstaller(instance); }
