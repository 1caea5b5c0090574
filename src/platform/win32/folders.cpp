// Folder creation and the volume's longest allowed name component.
#include <windows.h>

#include "platform/platform.h"

bool CreateFolder(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

uint32_t GetMaxComponentLength(const char* root) {
  DWORD maxComponent = 0;
  DWORD flags = 0;
  if (!GetVolumeInformationA(root, nullptr, 0, nullptr, &maxComponent, &flags, nullptr, 0)) return 0;
  return maxComponent;
}
