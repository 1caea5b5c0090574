// One entry header: names from the directory and file-name extended headers, attributes and times.
#include <gtest/gtest.h>

#include "archive/crc16.h"
#include "archive/entry_header.h"
#include "test_support.h"

namespace {

class EntryHeaderTest : public CoreTest {
 protected:
  // Opens an archive of the given entries and reads the first header.
  HeaderResult ReadFirst(const std::vector<LzhEntry>& entries) {
    Release();
    const std::string path = WriteFile("a.lzh", EncodeArchive(entries));
    UseAsModule(path);
    Work->ArchiveFile = OpenFileForReading(path.c_str());
    BuildCrcTable(Work->CrcTable);
    return ReadEntryHeader();
  }
  // Closes the archive and frees the header that the last read left behind.
  void Release() {
    if (IsOpenFile(Work->ArchiveFile)) CloseReadFile(Work->ArchiveFile);
    Work->ArchiveFile = NoFile;
    if (Work->HeaderBuffer != nullptr) ReleaseMemory(Work->HeaderBuffer);
    Work->HeaderBuffer = nullptr;
  }
  void TearDown() override {
    Release();
    CoreTest::TearDown();
  }
};

struct NameCase {
  std::optional<std::string> dir;
  std::optional<std::string> file;
  std::string expected;
};

TEST_F(EntryHeaderTest, NamesJoinDirectoryAndFileWithSlashes) {
  const NameCase cases[] = {
      {"docs\xFFimg\xFF", "a.bmp", "docs/img/a.bmp"},
      {"docs\xFF", std::nullopt, "docs/"},
      {"a\\b/", "c", "a/b/c"},
      {std::nullopt, "!", "!"},
      {"sub\xFF", "!", "sub/!"},
      {std::nullopt, std::nullopt, ""},
      // A zero byte inside the directory name ends the name there; the file name is placed behind the full length.
      {std::string("ab\0cd\xFF", 6), "x", "ab"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.expected);
    host::Reset();
    LzhEntry entry = MakeFileEntry("", "", {'x'});
    entry.DirName = c.dir;
    entry.FileName = c.file;
    ASSERT_EQ(ReadFirst({entry}), HeaderResult::Entry);
    EXPECT_STREQ(Work->EntryName, c.expected.c_str());
  }
}

TEST_F(EntryHeaderTest, EntryWithoutFileNameDoesNotInheritThePreviousName) {
  LzhEntry second = MakeFileEntry("", "", {'y'});
  second.FileName.reset();
  const std::string path = WriteFile("a.lzh", EncodeArchive({MakeFileEntry("", "first.txt", {'x'}), second}));
  UseAsModule(path);
  Work->ArchiveFile = OpenFileForReading(path.c_str());
  BuildCrcTable(Work->CrcTable);
  ASSERT_EQ(ReadEntryHeader(), HeaderResult::Entry);
  SeekFile(Work->ArchiveFile, 1, SeekOrigin::Current);
  ReleaseMemory(Work->HeaderBuffer);
  Work->HeaderBuffer = nullptr;
  ASSERT_EQ(ReadEntryHeader(), HeaderResult::Entry);
  EXPECT_STREQ(Work->EntryName, "");
}

TEST_F(EntryHeaderTest, WindowsExtensionsCountOnlyForWindowsOsIds) {
  const uint32_t stamp = 1600000000;
  LzhEntry entry = MakeFileEntry("", "t.txt", {'x'}, stamp, 0x21);
  entry.AttributesExtension = 0x0123;
  entry.WindowsTimes = WindowsFileTimes{UnixToFileTime(1000), UnixToFileTime(2000), UnixToFileTime(3000)};
  for (uint8_t os : {'M', 'W', 'w'}) {
    entry.OsId = os;
    ASSERT_EQ(ReadFirst({entry}), HeaderResult::Entry);
    EXPECT_EQ(Work->EntryAttributes, 0x0123);
    EXPECT_EQ(Work->CreationTime, 1000u);
    EXPECT_EQ(Work->WriteTime, 2000u);
    EXPECT_EQ(Work->AccessTime, 3000u);
  }
  entry.OsId = 'U';
  ASSERT_EQ(ReadFirst({entry}), HeaderResult::Entry);
  EXPECT_EQ(Work->EntryAttributes, 0x21);
  EXPECT_EQ(Work->CreationTime, stamp);
  EXPECT_EQ(Work->WriteTime, stamp);
  EXPECT_EQ(Work->AccessTime, stamp);
}

TEST_F(EntryHeaderTest, TimeThatCannotBeConvertedKeepsTheHeaderStamp) {
  LzhEntry entry = MakeFileEntry("", "t.txt", {'x'}, 1234);
  entry.WindowsTimes = WindowsFileTimes{1, UnixToFileTime(99), ~0ull};
  ASSERT_EQ(ReadFirst({entry}), HeaderResult::Entry);
  EXPECT_EQ(Work->CreationTime, 1234u);
  EXPECT_EQ(Work->WriteTime, 99u);
  EXPECT_EQ(Work->AccessTime, 1234u);
}

TEST_F(EntryHeaderTest, LaterExtendedHeaderOfTheSameTypeWins) {
  LzhEntry entry = MakeFileEntry("", "first", {'x'});
  entry.ExtraHeaders.push_back({0x01, {'s', 'e', 'c', 'o', 'n', 'd'}});
  ASSERT_EQ(ReadFirst({entry}), HeaderResult::Entry);
  EXPECT_STREQ(Work->EntryName, "second");
}

TEST_F(EntryHeaderTest, ZeroSizeOrShortReadEndsTheArchive) {
  for (const Bytes& bytes : {Bytes{0, 0}, Bytes{7}, Bytes{}}) {
    const std::string path = WriteFile("e.lzh", bytes);
    Release();
    Work->ArchiveFile = OpenFileForReading(path.c_str());
    EXPECT_EQ(ReadEntryHeader(), HeaderResult::End);
  }
  EXPECT_TRUE(host::Messages().empty());
}

}  // namespace
