// DBCS-aware scans over paths: finding separators, unifying them, the base name.
#pragma once
#include <cstdint>

// The first byte of text equal to one of set's bytes, stepping over DBCS pairs; null when none.
char* FindAnyOf(char* text, const char* set);
// Replaces every '/', '\' and 0xFF that is a character of its own by separator.
void NormaliseSeparators(char* path, char separator);
// Appends '/' unless the last character is '\' or '/'; never writes at or past path[capacity].
void AppendSeparator(char* path, uint32_t capacity);
// The part behind the last ':', '\', '/' or 0xFF.
char* BaseName(char* path);
