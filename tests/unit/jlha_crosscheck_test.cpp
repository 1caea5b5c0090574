// Archives made by jlha with -lh5-, -lh6- and -lh7- decode to the original files with matching crcs.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "archive/crc16.h"
#include "archive_reader.h"
#include "decode/decoder.h"
#include "test_support.h"

namespace {

class JlhaCrosscheckTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    if (std::system("command -v jlha >/dev/null 2>&1") != 0) GTEST_SKIP() << "jlha is not installed";
    UseAsModule((Folder / "setup.exe").string());
    BuildCrcTable(Work->CrcTable);
    std::filesystem::create_directories(Folder / "in");
    Files = Originals();
    for (const auto& [name, data] : Files) WriteFile("in/" + name, data);
  }

  // Text, a binary, empty, one byte, exactly one window, long runs and random bytes.
  std::map<std::string, Bytes> Originals() {
    std::map<std::string, Bytes> files;
    Bytes text;
    for (const auto& licence : std::filesystem::directory_iterator("/usr/share/common-licenses")) {
      if (!licence.is_regular_file()) continue;
      Bytes part = ReadFileBytes(licence.path().string());
      text.insert(text.end(), part.begin(), part.end());
      if (text.size() > 400000) break;
    }
    while (text.size() < 400000) text.insert(text.end(), text.begin(), text.begin() + std::min<size_t>(text.size() + 1, 4096));
    files["text.txt"] = text;
    files["window.txt"] = Bytes(text.begin(), text.begin() + 65536);
    Bytes binary = ReadFileBytes("/proc/self/exe");
    binary.resize(std::min<size_t>(binary.size(), 300000));
    files["binary.bin"] = binary;
    files["empty.dat"] = {};
    files["one.dat"] = {'!'};
    Bytes runs(100000, 'a');
    runs.insert(runs.end(), 70000, 0);
    for (uint32_t i = 0; i < 50000; ++i) runs.push_back(static_cast<uint8_t>(i / 300));
    files["runs.dat"] = runs;
    Bytes random(100000);
    uint32_t state = 99;
    for (uint8_t& b : random) {
      state = state * 1664525u + 1013904223u;
      b = static_cast<uint8_t>(state >> 24);
    }
    files["random.dat"] = random;
    return files;
  }

  // Decodes every entry in archive order from one open file: each entry's data must end exactly where
  // the next header begins.
  void ExpectArchiveDecodes(const std::string& archivePath, const std::string& method) {
    const Bytes archive = ReadFileBytes(archivePath);
    const std::vector<ParsedEntry> entries = ReadArchiveHeaders(archive);
    ASSERT_EQ(entries.size(), Files.size());
    Work->ArchiveFile = OpenFileForReading(archivePath.c_str());
    ASSERT_TRUE(IsOpenFile(Work->ArchiveFile));
    size_t compressed = 0;
    for (const ParsedEntry& entry : entries) {
      SCOPED_TRACE(method + " " + entry.FileName + " " + entry.MethodId);
      if (entry.MethodId == method) ++compressed;
      ASSERT_EQ(SeekFile(Work->ArchiveFile, 0, SeekOrigin::Current), static_cast<int32_t>(entry.Offset));
      ASSERT_EQ(SeekFile(Work->ArchiveFile, entry.HeaderSize, SeekOrigin::Current), static_cast<int32_t>(entry.Offset + entry.HeaderSize));
      if (Work->HeaderBuffer != nullptr) ReleaseMemory(Work->HeaderBuffer);
      Work->HeaderBuffer = static_cast<uint8_t*>(AllocateZeroed(entry.HeaderSize));
      std::memcpy(Work->HeaderBuffer, &archive[entry.Offset], entry.HeaderSize);
      const std::string output = (Folder / "out.bin").string();
      std::strcpy(Work->OutputPath, output.c_str());
      Work->OutputFile = CreateOutputFile(output.c_str());
      Work->InputPos = 0xFFFFFFFF;
      if (entry.MethodId == "-lh0-") {
        CopyStored(entry.UncompressedSize);
      } else {
        DecodeEntry();
      }
      CloseOutputFile(Work->OutputFile);
      Work->OutputFile = NoFile;
      EXPECT_EQ(ReadFileBytes(output), Files.at(entry.FileName));
      EXPECT_EQ(Work->RunningCrc, entry.DataCrc);
      ASSERT_EQ(SeekFile(Work->ArchiveFile, 0, SeekOrigin::Current),
                static_cast<int32_t>(entry.Offset + entry.HeaderSize + entry.CompressedSize));
    }
    CloseReadFile(Work->ArchiveFile);
    Work->ArchiveFile = NoFile;
    // jlha stores what it cannot shrink (empty, one byte, random); the rest goes through the method asked for.
    EXPECT_EQ(compressed, 4u) << method;
  }

  std::map<std::string, Bytes> Files;
};

TEST_F(JlhaCrosscheckTest, EveryMethodDecodesToTheOriginals) {
  for (const char digit : {'5', '6', '7'}) {
    const std::string archive = (Folder / (std::string("lh") + digit + ".lzh")).string();
    const std::string command = "cd '" + (Folder / "in").string() + "' && jlha c2o" + digit + " '" + archive +
                                "' binary.bin empty.dat one.dat random.dat runs.dat text.txt window.txt >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ExpectArchiveDecodes(archive, std::string("-lh") + digit + "-");
  }
}

}  // namespace
