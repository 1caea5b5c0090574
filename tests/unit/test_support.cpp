// Shared fixtures of the unit tests: a fresh work area and host platform per test, temporary files.
#include "test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/text.h"

void CoreTest::SetUp() {
  host::Reset();
  Area = std::make_unique<WorkArea>();
  Work = Area.get();
  InstanceHandle = nullptr;
  RunningOnWin32s = AutoStart = OverwriteWithoutAsking = SkipNotOlder = KeepControlsEnabled = false;
  CheckAccumulator = 0;
  MaxComponentLength = 0;
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "sfx-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" + std::to_string(getpid());
  for (char& c : name)
    if (c == '/') c = '_';
  Folder = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(Folder);
  std::filesystem::create_directories(Folder);
}

void CoreTest::TearDown() {
  if (Work != nullptr && Work->HeaderBuffer != nullptr) ReleaseMemory(Work->HeaderBuffer);
  // Start-up that ends early keeps its own work area, as the process would until it exits.
  if (Work != nullptr && Work != Area.get()) ReleaseMemory(Work);
  Work = nullptr;
  std::filesystem::remove_all(Folder);
}

std::string CoreTest::WriteFile(const std::string& name, const Bytes& bytes) {
  const std::string path = (Folder / name).string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return path;
}

Bytes CoreTest::ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string CoreTest::WriteInstallerImage(const Bytes& archive, uint32_t stubSize) {
  Bytes image(stubSize + archive.size(), 0x4D);
  std::copy(archive.begin(), archive.end(), image.begin() + stubSize);
  Work->Settings.ArchiveOffset = static_cast<int32_t>(stubSize);
  return WriteFile("setup.exe", image);
}

void CoreTest::UseAsModule(const std::string& path) {
  host::SetModulePath(path);
  CopyText(Work->ModulePath, path.c_str(), sizeof Work->ModulePath);
  CopyText(Work->WindowTitle, "Setup", sizeof Work->WindowTitle);
}

std::vector<std::string> MessageTexts() {
  std::vector<std::string> texts;
  for (const host::RecordedMessage& message : host::Messages()) texts.push_back(message.text);
  return texts;
}

void PrintMessagesAtExit() {
  std::atexit([] {
    for (const std::string& text : MessageTexts()) std::fprintf(stderr, "%s\n", text.c_str());
  });
}

std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  std::vector<uint32_t> codes(lengths.size());
  uint32_t code = 0;
  for (uint32_t length = 1; length <= 16; ++length) {
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
      if (lengths[symbol] != length) continue;
      codes[symbol] = code;
      ++code;
    }
    code <<= 1;
  }
  return codes;
}
