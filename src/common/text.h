// Bounded byte-string helpers shared by every subsystem.
#pragma once
#include <cstdint>

// Copies at most capacity - 1 bytes of source and always terminates (lstrcpynA's contract); capacity > 0.
void CopyText(char* destination, const char* source, uint32_t capacity);
// Appends source behind destination's text, never writing at or past destination[capacity].
void AppendText(char* destination, const char* source, uint32_t capacity);
// Writes the decimal digits of value and a terminator; returns the number of digits (at most 10).
uint32_t FormatDecimal(char* destination, uint32_t value);
// Compares length bytes, ignoring the case of ASCII letters only; a shorter text differs at its terminator.
bool EqualsIgnoringCase(const char* text, const char* other, uint32_t length);
