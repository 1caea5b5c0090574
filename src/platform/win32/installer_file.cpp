// Reading the installer's own file through the 16-bit-compatible _lopen family.
#include <windows.h>

#include "platform/platform.h"

FileHandle OpenFileForReading(const char* path) {
  // HFILE_ERROR is -1, which is NoFile as well.
  return _lopen(path, OF_READ);
}

int32_t SeekFile(FileHandle file, int32_t offset, SeekOrigin origin) {
  static constexpr int Origins[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  const LONG position = _llseek(static_cast<HFILE>(file), offset, Origins[static_cast<int>(origin)]);
  return position == HFILE_ERROR ? -1 : position;
}

int32_t ReadFile(FileHandle file, void* buffer, uint32_t count) {
  const UINT read = _lread(static_cast<HFILE>(file), buffer, count);
  return read == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<int32_t>(read);
}

void CloseReadFile(FileHandle file) { _lclose(static_cast<HFILE>(file)); }
