// The archive walk: empty and sound archives, the check word, and every failure it reports.
#include <gtest/gtest.h>

#include "archive/crc16.h"
#include "archive/walk.h"
#include "startup/errors.h"
#include "test_support.h"

namespace {

class WalkTest : public CoreTest {
 protected:
  bool Scan(const Bytes& archive) {
    UseAsModule(WriteInstallerImage(archive));
    return WalkArchive(nullptr, Pass::Scan);
  }
  std::string Quoted(const char* message) { return "\"" + std::string(Work->ModulePath) + "\" " + message; }
};

Bytes Archive(const std::vector<LzhEntry>& entries, LzhArchiveOptions options = {}) {
  return EncodeArchive(entries, options);
}

LzhEntry File(const std::string& name, const std::string& text = "hello") {
  return MakeFileEntry("", name, Bytes(text.begin(), text.end()), 1700000000);
}

TEST_F(WalkTest, EmptyArchivesSucceed) {
  for (const Bytes& archive : {Bytes{0}, Bytes{0, 0}, Bytes{}}) {
    host::Reset();
    EXPECT_TRUE(Scan(archive));
    EXPECT_TRUE(host::Messages().empty());
  }
}

TEST_F(WalkTest, SoundArchiveIsWalkedToItsEndWithOrWithoutEndMarker) {
  const std::vector<LzhEntry> entries = {MakeDirectoryEntry("docs\xFF"), File("a.txt"), File("b.txt", "")};
  EXPECT_TRUE(Scan(Archive(entries)));
  LzhArchiveOptions noMarker;
  noMarker.EndMarker = false;
  EXPECT_TRUE(Scan(Archive(entries, noMarker)));
  EXPECT_TRUE(host::Messages().empty());
  EXPECT_EQ(Work->ArchiveFile, NoFile);
  EXPECT_EQ(Work->HeaderBuffer, nullptr);
}

TEST_F(WalkTest, ErrorBoxNamesTheInstallerAndHasNoOwnerDuringTheScan) {
  LzhEntry broken = File("a.txt");
  broken.CorruptHeaderCrc = true;
  EXPECT_FALSE(Scan(Archive({broken})));
  ASSERT_EQ(host::Messages().size(), 1u);
  const host::RecordedMessage& box = host::Messages()[0];
  EXPECT_EQ(box.text, Quoted(MsgBadHeader));
  EXPECT_EQ(box.caption, "Setup");
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.style, MessageStyle::Error);
  EXPECT_EQ(Work->ErrorFlag, 1);
}

// Each case breaks one thing about a two-entry archive; the walk must stop with exactly that report.
struct BrokenCase {
  const char* name;
  void (*breakIt)(LzhEntry&);
  const char* message;
};

const BrokenCase BrokenEntries[] = {
    {"method digit 1", [](LzhEntry& e) { e.MethodId = "-lh1-"; }, MsgBadHeader},
    {"z in place of h", [](LzhEntry& e) { e.MethodId = "-lz5-"; }, MsgBadHeader},
    {"zero method character", [](LzhEntry& e) { e.MethodId = std::string("-lh\0-", 5); }, MsgBadHeader},
    {"no header crc", [](LzhEntry& e) { e.OmitHeaderCrc = true; }, MsgBadHeader},
    {"header crc mismatch", [](LzhEntry& e) { e.CorruptHeaderCrc = true; }, MsgBadHeader},
    {"size below the fixed part", [](LzhEntry& e) { e.ForcedHeaderSize = 20; }, MsgBadHeader},
    {"header longer than the file", [](LzhEntry& e) { e.ForcedHeaderSize = 30000; }, MsgBadHeader},
    {"short Windows times", [](LzhEntry& e) { e.ExtraHeaders.push_back({0x41, Bytes(23, 1)}); }, MsgBadHeader},
    {"short attributes", [](LzhEntry& e) { e.ExtraHeaders.push_back({0x40, Bytes(1, 1)}); }, MsgBadHeader},
    {"short header crc", [](LzhEntry& e) { e.ExtraHeaders.push_back({0x00, Bytes(1, 1)}); }, MsgBadHeader},
    {"name over 259 bytes", [](LzhEntry& e) { e.DirName = std::string(200, 'd') + "\xFF"; e.FileName = std::string(59, 'f'); }, MsgBadHeader},
    {"data past the end of the file", [](LzhEntry& e) { e.ForcedCompressedSize = 0xFFFFFFF0; }, MsgUnexpectedEof},
    {"data just past the end", [](LzhEntry& e) { e.ForcedCompressedSize = 5 + 1 + 2; }, MsgUnexpectedEof},
};

TEST_F(WalkTest, EachBrokenHeaderIsReportedOnce) {
  for (const BrokenCase& c : BrokenEntries) {
    SCOPED_TRACE(c.name);
    host::Reset();
    LzhEntry second = File("b.txt");
    c.breakIt(second);
    LzhArchiveOptions options;
    options.EndMarker = false;
    EXPECT_FALSE(Scan(Archive({File("a.txt"), second}, options)));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Quoted(c.message)});
  }
}

TEST_F(WalkTest, ExtendedHeaderChainsThatLeaveTheHeaderAreBad) {
  // Hand-made header bytes: a chain whose sizes are too small or run past the header.
  for (uint16_t extSize : {1, 2, 40}) {
    SCOPED_TRACE(extSize);
    host::Reset();
    LzhEntry entry = File("a.txt");
    Bytes header = EncodeHeader(entry);
    WriteU16(header.data() + FirstExtendedSizeOffset, extSize);
    Bytes archive = header;
    archive.insert(archive.end(), {'h', 'e', 'l', 'l', 'o', 0});
    EXPECT_FALSE(Scan(archive));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Quoted(MsgBadHeader)});
  }
}

TEST_F(WalkTest, ChangingAnyHeaderByteBreaksTheCrc) {
  const Bytes header = EncodeHeader(File("name.txt"));
  const size_t crcPlace = FixedHeaderSize + ExtendedOverhead - 2 + 2;  // data of the first (0x00) extended header
  for (size_t place : {size_t{OsIdOffset}, size_t{TimeStampOffset}, header.size() - 3}) {
    ASSERT_NE(place, crcPlace);
    SCOPED_TRACE(place);
    host::Reset();
    Bytes changed = header;
    changed[place] ^= 0x01;
    changed.insert(changed.end(), {'h', 'e', 'l', 'l', 'o', 0});
    EXPECT_FALSE(Scan(changed));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{Quoted(MsgBadHeader)});
  }
}

TEST_F(WalkTest, AnyHeaderLevelIsAccepted) {
  LzhEntry entry = File("a.txt");
  entry.HeaderLevel = 0x77;
  EXPECT_TRUE(Scan(Archive({entry})));
}

TEST_F(WalkTest, HeaderOf32768BytesOrMoreIsOutOfMemory) {
  Bytes archive = {0x00, 0x80};
  archive.resize(100, 0);
  EXPECT_FALSE(Scan(archive));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{MsgNotEnoughMemory});
}

TEST_F(WalkTest, HeaderAllocationFailureIsOutOfMemory) {
  const std::string path = WriteInstallerImage(Archive({File("a.txt")}));
  UseAsModule(path);
  host::FailAllocationAfter(0);
  EXPECT_FALSE(WalkArchive(nullptr, Pass::Scan));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{MsgNotEnoughMemory});
}

TEST_F(WalkTest, SetUpFailures) {
  UseAsModule((Folder / "missing.exe").string());
  EXPECT_FALSE(WalkArchive(nullptr, Pass::Scan));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{Quoted(MsgOpenError)});

  host::Reset();
  const std::string path = WriteInstallerImage(Archive({File("a.txt")}));
  UseAsModule(path);
  Work->Settings.ArchiveOffset = -5;
  EXPECT_FALSE(WalkArchive(nullptr, Pass::Scan));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{Quoted(MsgReadError)});

  host::Reset();
  Work->Settings.ArchiveOffset = 1 << 20;
  EXPECT_FALSE(WalkArchive(nullptr, Pass::Scan));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{Quoted(MsgUnexpectedEof)});

  host::Reset();
  Work->Settings.ArchiveOffset = static_cast<int32_t>(ReadFileBytes(path).size());
  EXPECT_TRUE(WalkArchive(nullptr, Pass::Scan));
}

TEST_F(WalkTest, CheckWordIsTheXorOfAllDataCrcs) {
  LzhArchiveOptions withWord;
  withWord.CheckWord = true;
  const std::vector<LzhEntry> entries = {MakeDirectoryEntry("d\xFF"), File("a.txt"), File("b.txt", "other")};
  const Bytes archive = Archive(entries, withWord);
  Work->Settings.SettingsFlags = FlagCheckWord;
  EXPECT_TRUE(Scan(archive));
  EXPECT_EQ(CheckAccumulator, ArchiveCheckWord(entries));

  // The same bytes read without the flag: the check word is taken for a header size and the walk fails.
  host::Reset();
  Work->Settings.SettingsFlags = 0;
  EXPECT_FALSE(Scan(archive));
}

TEST_F(WalkTest, TamperedDataWhenTheWordDiffers) {
  // Word 0 with a sound entry whose crc is not 0: the entry makes the XOR nonzero.
  Bytes archive = {0, 0};
  const Bytes entry = EncodeEntry(File("a.txt"));
  archive.insert(archive.end(), entry.begin(), entry.end());
  archive.push_back(0);
  Work->Settings.SettingsFlags = FlagCheckWord;
  EXPECT_FALSE(Scan(archive));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{Quoted(MsgTamperedData)});

  // A word of 0 and no entries passes.
  host::Reset();
  Work->Settings.SettingsFlags = FlagCheckWord;
  EXPECT_TRUE(Scan({0, 0, 0}));
}

TEST_F(WalkTest, ExtractPassAlsoFindsTheFirstHeaderBehindTheCheckWord) {
  LzhArchiveOptions withWord;
  withWord.CheckWord = true;
  UseAsModule(WriteInstallerImage(Archive({File("a.txt"), File("b.txt")}, withWord)));
  Work->Settings.SettingsFlags = FlagCheckWord;
  EXPECT_TRUE(WalkArchive(nullptr, Pass::Extract));
  EXPECT_TRUE(host::Messages().empty());
}

}  // namespace
