// DBCS-aware scans over paths: finding separators, unifying them, the base name.
#include "paths/separators.h"

#include "common/text.h"
#include "platform/platform.h"

// Steps over one character; a lone lead byte before the terminator counts as a character of its own.
static char* NextCharacter(char* p) {
  if (IsLeadByte(static_cast<uint8_t>(*p)) && p[1] != 0) return p + 2;
  return p + 1;
}

char* FindAnyOf(char* text, const char* set) {
  for (char* p = text; *p != 0; p = NextCharacter(p)) {
    if (IsLeadByte(static_cast<uint8_t>(*p)) && p[1] != 0) continue;
    for (const char* s = set; *s != 0; ++s)
      if (*p == *s) return p;
  }
  return nullptr;
}

void NormaliseSeparators(char* path, char separator) {
  static const char separators[] = {'/', '\\', static_cast<char>(0xFF), 0};
  for (char* p = FindAnyOf(path, separators); p != nullptr; p = FindAnyOf(p + 1, separators)) *p = separator;
}

void AppendSeparator(char* path, uint32_t capacity) {
  char* last = nullptr;
  for (char* p = path; *p != 0; p = NextCharacter(p)) last = p;
  if (last != nullptr && (*last == '\\' || *last == '/')) return;
  AppendText(path, "/", capacity);
}

char* BaseName(char* path) {
  static const char separators[] = {':', '\\', '/', static_cast<char>(0xFF), 0};
  char* base = path;
  for (char* p = FindAnyOf(path, separators); p != nullptr; p = FindAnyOf(p + 1, separators)) base = p + 1;
  return base;
}
