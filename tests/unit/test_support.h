// Shared fixtures of the unit tests: a fresh work area and host platform per test, temporary files.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "lzh_writer.h"
#include "platform/posix/host_control.h"
#include "startup/work_area.h"

// Gives each test a zeroed WorkArea, default process-wide flags, a reset host platform and a temporary folder.
class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes bytes to a file in the test's folder and returns its path.
  std::string WriteFile(const std::string& name, const Bytes& bytes);
  Bytes ReadFileBytes(const std::string& path);
  // An installer image: a fake stub of stubSize bytes, then the archive; Settings.ArchiveOffset points at it.
  std::string WriteInstallerImage(const Bytes& archive, uint32_t stubSize = 1200);
  // Makes the installer image the program's own file (ModulePath).
  void UseAsModule(const std::string& path);

  std::filesystem::path Folder;
  std::unique_ptr<WorkArea> Area;
};

// The texts of the recorded message boxes.
std::vector<std::string> MessageTexts();
// Canonical codes made independently of the decoder: by increasing length, then symbol; the first is all zeros.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths);
// In the child of a death test: print the message boxes at exit, so the expected text can be matched.
void PrintMessagesAtExit();
