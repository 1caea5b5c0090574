// `mksfx build`: packs the chosen paths (or an existing archive) behind a copy of the stub.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "folder_scan.h"
#include "installer.h"

struct BuildRequest {
  std::string OutputPath;
  std::string StubPath;
  InstallerSettings Settings;            // SettingsFlags bit 2 is set by RunBuild when CheckWord is
  bool CheckWord = false;
  std::optional<std::string> Question;   // text of the "!" entry
  std::optional<std::string> ScriptPath; // file whose bytes become the "$" entry
  std::optional<std::string> ArchivePath;
  std::vector<PathArgument> Paths;
};

struct BuildSummary {
  size_t Entries = 0;
  uint64_t ArchiveOffset = 0;
  uint64_t ArchiveBytes = 0;
  uint64_t InstallerBytes = 0;
  uint16_t CheckWord = 0;
};

inline constexpr size_t MaxQuestionLength = 1023;  // what the stub captures of the "!" entry
inline constexpr size_t MaxScriptLength = 4095;    // and of the "$" entry

// Throws std::runtime_error or std::invalid_argument with a message naming the problem; the output is then left
// as it was.
BuildSummary RunBuild(const BuildRequest& request);
