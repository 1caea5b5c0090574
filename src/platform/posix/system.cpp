// Host system services: directories, environment, path search, volume and code page from test settings.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/host_state.h"

// Copies text as the Win32 string queries do: the length copied, or the size needed when it does not fit.
static uint32_t Deliver(const std::string& text, char* buffer, uint32_t capacity) {
  if (text.size() + 1 > capacity) return static_cast<uint32_t>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<uint32_t>(text.size());
}

uint32_t GetModulePath(ModuleHandle, char* buffer, uint32_t capacity) {
  const std::string& path = host::State().modulePath;
  if (capacity == 0) return 0;
  const size_t length = path.size() < capacity ? path.size() : capacity - 1;
  std::memcpy(buffer, path.data(), length);
  buffer[length] = 0;
  return static_cast<uint32_t>(length);
}

bool IsRunningOnWin32s() { return host::State().win32s; }

uint32_t GetCurrentDirectoryPath(char* buffer, uint32_t capacity) {
  std::string current = host::State().currentDirectory;
  if (current.empty()) {
    char real[4096];
    if (getcwd(real, sizeof real) == nullptr) return 0;
    current = real;
  }
  return Deliver(current, buffer, capacity);
}

uint32_t GetWindowsDirectoryPath(char* buffer, uint32_t capacity) {
  return Deliver(host::State().windowsDirectory, buffer, capacity);
}

uint32_t GetSystemDirectoryPath(char* buffer, uint32_t capacity) {
  return Deliver(host::State().systemDirectory, buffer, capacity);
}

uint32_t GetEnvironmentValue(const char* name, char* buffer, uint32_t capacity) {
  const host::HostState& state = host::State();
  if (state.environmentCleared.count(name) != 0) return 0;
  const auto found = state.environment.find(name);
  if (found != state.environment.end()) return Deliver(found->second, buffer, capacity);
  const char* real = std::getenv(name);
  return real == nullptr ? 0 : Deliver(real, buffer, capacity);
}

uint32_t SearchFilePath(const char* fileName, char* buffer, uint32_t capacity) {
  const auto found = host::State().searchResults.find(fileName);
  return found == host::State().searchResults.end() ? 0 : Deliver(found->second, buffer, capacity);
}

bool CreateFolder(const char* path) { return mkdir(path, 0755) == 0; }

uint32_t GetMaxComponentLength(const char*) { return host::State().maxComponentLength; }

bool IsLeadByte(uint8_t byte) {
  return host::State().shiftJis && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

void EndProcess(int status) {
  if (host::State().endProcessHook != nullptr) host::State().endProcessHook(status);
  std::exit(status);
}
