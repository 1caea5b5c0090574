// Directory macros at the start of a path: %WORK%, %WinDir%, %WinRoot%, %SystemDir%, %Search%.
#include "paths/macros.h"

#include "common/text.h"
#include "paths/separators.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t PathCapacity = 256;

enum class Macro { Work, WinDir, WinRoot, SystemDir, Search, None };

struct MacroName {
  const char* text;
  uint32_t length;
  Macro macro;
};

constexpr MacroName DirectoryMacros[] = {
    {"%WORK%", 6, Macro::Work},           {"%WinDir%", 8, Macro::WinDir}, {"%WinRoot%", 9, Macro::WinRoot},
    {"%SystemDir%", 11, Macro::SystemDir}, {"%Search%", 8, Macro::Search},
};

// A query that fails or does not fit leaves the text empty, as a failed call does.
void Query(uint32_t (*query)(char*, uint32_t), char* out) {
  if (query(out, PathCapacity) >= PathCapacity) out[0] = 0;
}

void SearchDirectory(const char* baseName, char* out) {
  const uint32_t length = SearchFilePath(baseName, out, PathCapacity);
  if (length > 0 && length < PathCapacity) {
    // The separator in front of the found file's name becomes the end, which leaves its directory.
    char* name = BaseName(out);
    if (name > out) name[-1] = 0;
    return;
  }
  out[0] = 0;
  Query(GetSystemDirectoryPath, out);
}

}  // namespace

uint32_t WorkDirectory(uint32_t capacity, char* out) {
  char directory[PathCapacity] = {};
  out[0] = 0;
  bool found = false;
  static const char* const names[] = {"TEMP", "TMP"};
  for (const char* name : names) {
    const uint32_t length = GetEnvironmentValue(name, directory, PathCapacity);
    if (length > 0 && length < PathCapacity) {
      found = true;
      break;
    }
    directory[0] = 0;
  }
  if (!found) {
    const uint32_t length = GetWindowsDirectoryPath(directory, PathCapacity);
    if (length > 0 && length < PathCapacity) {
      AppendSeparator(directory, PathCapacity);
      AppendText(directory, "TEMP", PathCapacity);
      CreateFolder(directory);
      found = true;
    } else {
      directory[0] = 0;
      const uint32_t current = GetCurrentDirectoryPath(directory, PathCapacity);
      found = current > 0 && current < PathCapacity;
      if (!found) directory[0] = 0;
    }
  }
  if (!found) return 0;
  uint32_t length = 0;
  while (directory[length] != 0) ++length;
  if (capacity <= length) return length + 1;
  CopyText(out, directory, capacity);
  return length;
}

void ExpandDirectoryMacro(char* path, const char* baseName) {
  char scratch[PathCapacity] = {};
  const MacroName* matched = nullptr;
  for (const MacroName& candidate : DirectoryMacros) {
    if (!EqualsIgnoringCase(path, candidate.text, candidate.length)) continue;
    if (candidate.macro == Macro::Search && baseName[0] == 0) continue;
    matched = &candidate;
    break;
  }
  switch (matched == nullptr ? Macro::None : matched->macro) {
    case Macro::Work: WorkDirectory(PathCapacity, scratch); break;
    case Macro::WinDir: Query(GetWindowsDirectoryPath, scratch); break;
    case Macro::WinRoot:
      Query(GetWindowsDirectoryPath, scratch);
      scratch[2] = 0;
      break;
    case Macro::SystemDir: Query(GetSystemDirectoryPath, scratch); break;
    case Macro::Search: SearchDirectory(baseName, scratch); break;
    case Macro::None: break;
  }
  AppendText(scratch, path + (matched == nullptr ? 0 : matched->length), PathCapacity);
  CopyText(path, scratch, PathCapacity);
  NormaliseSeparators(path, '\\');
}
