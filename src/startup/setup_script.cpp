// The "$" setup script: lines of "$Key=value" that override titles, directory, command and behaviour flags.
#include "startup/setup_script.h"

#include "common/text.h"
#include "startup/work_area.h"

namespace {

enum ScriptKey { NoKey, KeyWindowTitle, KeyInstallTitle, KeyInstallDir, KeyCommand, KeyFlag };

struct KeyName {
  const char* text;
  uint32_t length;
};

// Numbered from 1 in this order.
constexpr KeyName ScriptKeys[] = {
    {"$WindowTitle=", 13}, {"$InstallTitle=", 14}, {"$InstallDir=", 12}, {"$Command=", 9}, {"$Flag=", 6},
};

constexpr uint32_t ValueCapacity = 256;

bool IsText(char c) { return static_cast<uint8_t>(c) >= 32; }

// Moves over bytes 1..31; true when text remains.
bool SkipControlBytes(const char*& cursor) {
  while (*cursor != 0 && !IsText(*cursor)) ++cursor;
  return *cursor != 0;
}

int MatchScriptKey(const char*& cursor) {
  for (int i = 0; i < static_cast<int>(sizeof ScriptKeys / sizeof ScriptKeys[0]); ++i) {
    if (EqualsIgnoringCase(cursor, ScriptKeys[i].text, ScriptKeys[i].length)) {
      cursor += ScriptKeys[i].length;
      return i + 1;
    }
  }
  return NoKey;
}

void CopyScriptValue(const char*& cursor, char* destination, uint32_t capacity) {
  uint32_t copied = 0;
  while (IsText(*cursor) && copied < capacity - 1) destination[copied++] = *cursor++;
  destination[copied] = 0;
}

void SkipToLineEnd(const char*& cursor) {
  while (IsText(*cursor)) ++cursor;
}

// Decimal as the C library's atoi reads it; values beyond 32 bits wrap, and only the low 16 bits are used.
uint16_t ReadFlagNumber(const char* text) {
  while (*text == ' ') ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + static_cast<uint32_t>(*text - '0');
  return static_cast<uint16_t>(negative ? 0u - value : value);
}

void ApplyFlags(uint16_t bits) {
  uint8_t& restore = Work->Settings.RestoreAttributes;
  if (bits & 0x0001) AutoStart = true;
  if (bits & 0x0002) OverwriteWithoutAsking = true;
  if (bits & 0x0008) SkipNotOlder = false;
  if (bits & 0x0010) restore = '/';
  if (bits & 0x0100) AutoStart = false;
  if (bits & 0x0200) OverwriteWithoutAsking = false;
  if (bits & 0x0800) SkipNotOlder = true;
  if (bits & 0x1000) restore = 0;
  if (bits & 0x2000) KeepControlsEnabled = true;
}

void ApplyValue(int key, const char* value) {
  SettingsBlock& settings = Work->Settings;
  switch (key) {
    // Titles hold 79 characters: a longer value is cut there.
    case KeyWindowTitle: CopyText(Work->WindowTitle, value, sizeof Work->WindowTitle); break;
    case KeyInstallTitle: CopyText(Work->InstallTitle, value, sizeof Work->InstallTitle); break;
    case KeyInstallDir:
      if (settings.InstallDir[0] == 0) CopyText(settings.InstallDir, value, sizeof settings.InstallDir);
      break;
    case KeyCommand: CopyText(settings.Command, value, sizeof settings.Command); break;
    case KeyFlag: ApplyFlags(ReadFlagNumber(value)); break;
  }
}

}  // namespace

void RunSetupScript() {
  const char* cursor = Work->ScriptText;
  char value[ValueCapacity];
  if (!SkipControlBytes(cursor)) return;
  do {
    const int key = MatchScriptKey(cursor);
    if (key != NoKey) {
      CopyScriptValue(cursor, value, ValueCapacity);
      ApplyValue(key, value);
    }
    SkipToLineEnd(cursor);
  } while (SkipControlBytes(cursor));
}
