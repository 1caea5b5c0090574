// The module path, the OS version, the system's directories, the environment, the path search and the code page.
#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"

uint32_t GetModulePath(ModuleHandle module, char* buffer, uint32_t capacity) {
  const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, capacity);
  // Older systems leave a truncated path without its terminator.
  if (capacity > 0) buffer[capacity - 1] = '\0';
  return length;
}

bool IsRunningOnWin32s() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  if (!GetVersionExA(&version)) return false;
  return version.dwPlatformId == VER_PLATFORM_WIN32s;
}

uint32_t GetCurrentDirectoryPath(char* buffer, uint32_t capacity) { return GetCurrentDirectoryA(capacity, buffer); }

uint32_t GetWindowsDirectoryPath(char* buffer, uint32_t capacity) { return GetWindowsDirectoryA(buffer, capacity); }

uint32_t GetSystemDirectoryPath(char* buffer, uint32_t capacity) { return GetSystemDirectoryA(buffer, capacity); }

uint32_t GetEnvironmentValue(const char* name, char* buffer, uint32_t capacity) {
  return GetEnvironmentVariableA(name, buffer, capacity);
}

uint32_t SearchFilePath(const char* fileName, char* buffer, uint32_t capacity) {
  char* filePart = nullptr;
  return SearchPathA(nullptr, fileName, nullptr, capacity, buffer, &filePart);
}

bool IsLeadByte(uint8_t candidate) { return IsDBCSLeadByte(candidate) != FALSE; }

void EndProcess(int status) { std::exit(status); }
