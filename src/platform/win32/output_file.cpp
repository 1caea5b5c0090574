// Writing, closing and deleting extracted files through CreateFileA and its companions.
#include <windows.h>

#include "platform/platform.h"

FileHandle CreateOutputFile(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? NoFile : reinterpret_cast<FileHandle>(file);
}

bool WriteOutputFile(FileHandle file, const void* data, uint32_t length, uint32_t* written) {
  DWORD accepted = 0;
  const BOOL succeeded = WriteFile(reinterpret_cast<HANDLE>(file), data, length, &accepted, nullptr);
  *written = accepted;
  return succeeded != FALSE;
}

bool CloseOutputFile(FileHandle file) { return CloseHandle(reinterpret_cast<HANDLE>(file)) != FALSE; }

bool DeleteFileAt(const char* path) { return DeleteFileA(path) != FALSE; }
