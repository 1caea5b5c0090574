// Directory macros at the start of a path: %WORK%, %WinDir%, %WinRoot%, %SystemDir%, %Search%.
#pragma once
#include <cstdint>

// The work directory for %WORK%: its length when it fits capacity (copied to out), else the size needed.
uint32_t WorkDirectory(uint32_t capacity, char* out);
// Replaces a macro at the very start of path (256 bytes) by its expansion and turns separators into '\'.
void ExpandDirectoryMacro(char* path, const char* baseName);
