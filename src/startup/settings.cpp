// Reading the settings block from the program's own file and deriving the behaviour flags from it.
#include "common/text.h"
#include "startup/startup.h"
#include "startup/work_area.h"

// A title without a terminator inside its width is taken whole (all its bytes) and no further.
template <uint32_t Width>
static void CopyTitle(char* destination, uint32_t capacity, const char (&field)[Width]) {
  CopyText(destination, field, capacity < Width + 1 ? capacity : Width + 1);
}

void ReadSettings() {
  SettingsBlock& settings = Work->Settings;
  const FileHandle file = OpenFileForReading(Work->ModulePath);
  if (IsOpenFile(file)) {
    if (SeekFile(file, SettingsBlockOffset, SeekOrigin::Start) != -1) ReadFile(file, &settings, SettingsBlockSize);
    CloseReadFile(file);
  }
  // The directory and the command are used in place, so an unterminated one is cut at its last byte.
  settings.InstallDir[sizeof settings.InstallDir - 1] = 0;
  settings.Command[sizeof settings.Command - 1] = 0;
  if (settings.TitleField[0] == 0) CopyText(settings.TitleField, DefaultTitle, sizeof settings.TitleField);
  CopyTitle(Work->WindowTitle, sizeof Work->WindowTitle, settings.TitleField);
  CopyTitle(Work->InstallTitle, sizeof Work->InstallTitle, settings.InstallTitleField);
}

void DeriveBehaviourFlags() {
  const uint8_t flags = Work->Settings.SettingsFlags;
  OverwriteWithoutAsking = (flags & FlagOverwriteWithoutAsking) != 0;
  AutoStart = (flags & FlagAutoStart) != 0;
  SkipNotOlder = (flags & FlagNoSkipNotOlder) == 0;
}
