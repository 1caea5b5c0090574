// Bounded byte-string helpers shared by every subsystem.
#include "common/text.h"

void CopyText(char* destination, const char* source, uint32_t capacity) {
  uint32_t i = 0;
  for (; i + 1 < capacity && source[i] != 0; ++i) destination[i] = source[i];
  destination[i] = 0;
}

void AppendText(char* destination, const char* source, uint32_t capacity) {
  uint32_t used = 0;
  while (used < capacity && destination[used] != 0) ++used;
  if (used < capacity) CopyText(destination + used, source, capacity - used);
}

uint32_t FormatDecimal(char* destination, uint32_t value) {
  char digits[10];
  uint32_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (uint32_t i = 0; i < count; ++i) destination[i] = digits[count - 1 - i];
  destination[count] = 0;
  return count;
}

static char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(const char* text, const char* other, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (AsciiLower(text[i]) != AsciiLower(other[i])) return false;
    if (text[i] == 0) return true;
  }
  return true;
}
