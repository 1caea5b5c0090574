// Makes an installer file: the stub copied, its settings block filled in, the archive appended, all or nothing.
#pragma once
#include <cstdint>
#include <string>

#include "archive/format.h"
#include "lzh_writer.h"

// The settings a user chooses; the archive offset is the installer writer's business.
struct InstallerSettings {
  std::string Title;          // at most 40 bytes
  std::string InstallTitle;   // at most 40 bytes
  std::string InstallDir;     // at most 255 bytes
  std::string Command;        // at most 255 bytes
  uint8_t SettingsFlags = 0;
  uint8_t RestoreAttributes = 0;
};

// Throws std::invalid_argument naming the field that does not fit.
SettingsBlock MakeSettingsBlock(const InstallerSettings& settings, int32_t archiveOffset);
// The block's 603 bytes as they stand in the file (integers little-endian).
Bytes EncodeSettingsBlock(const SettingsBlock& block);

// Writes into a temporary file beside the output and renames it over the output on Commit; a writer destroyed
// without Commit removes its temporary file. Every failure throws std::runtime_error naming the file.
class InstallerWriter {
 public:
  // Copies the stub, writes the settings block at offset 512 with ArchiveOffset = the stub's length; the
  // archive's bytes then follow through Append.
  InstallerWriter(const std::string& stubPath, const std::string& outputPath, const InstallerSettings& settings);
  ~InstallerWriter();
  InstallerWriter(const InstallerWriter&) = delete;
  InstallerWriter& operator=(const InstallerWriter&) = delete;

  void Append(const uint8_t* data, size_t length);
  void Append(const Bytes& data) { Append(data.data(), data.size()); }
  // Overwrites bytes already written, counted from the archive's start (for the check word known only at the end).
  void PatchArchive(uint64_t archivePosition, const Bytes& data);
  uint64_t ArchiveOffset() const { return StubLength; }
  uint64_t Size() const { return Written; }
  void Commit();

 private:
  std::string OutputPath;
  std::string TempPath;
  int File = -1;
  uint64_t StubLength = 0;
  uint64_t Written = 0;
  bool Committed = false;
};

// The whole installer in one call.
void WriteInstaller(const std::string& stubPath, const std::string& outputPath, const InstallerSettings& settings,
                    const Bytes& archive);
