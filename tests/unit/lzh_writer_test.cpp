// The LZH writer: header bytes at their offsets, the extended-header chain, the knobs for broken fixtures,
// the header reader's refusals, and archives that lhasa and 7-Zip read back byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "archive/format.h"
#include "archive_reader.h"
#include "builder_fixtures.h"
#include "lzh_writer.h"

using builder_test::Quote;
using builder_test::ReferenceCrc16;

namespace {

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct Extension {
  size_t SizeFieldAt;
  uint16_t Size;
  uint8_t Type;
  Bytes Data;
};

// Walks the chain by hand from offset 24, so that the writer is checked against the layout, not against itself.
std::vector<Extension> ChainOf(const Bytes& header) {
  std::vector<Extension> chain;
  size_t at = 24;
  while (at + 2 <= header.size()) {
    const uint16_t size = static_cast<uint16_t>(header[at] | (header[at + 1] << 8));
    if (size == 0) break;
    if (size < 3 || at + 2 + size > header.size()) {
      ADD_FAILURE() << "chain leaves the header at " << at;
      break;
    }
    chain.push_back({at, size, header[at + 2], Bytes(header.begin() + static_cast<long>(at) + 3,
                                                     header.begin() + static_cast<long>(at) + 2 + size - 2)});
    at += size;
  }
  return chain;
}

}  // namespace

TEST(LzhWriterCrc, MatchesTheCheckValueOfCrc16Arc) {
  EXPECT_EQ(Crc16(Text("123456789")), 0xBB3D);
  EXPECT_EQ(Crc16(Bytes{}), 0);
}

TEST(LzhWriter, FileHeaderFieldsStandAtTheirOffsets) {
  LzhEntry entry = MakeFileEntry("docs\xFFimg\xFF", "a.bmp", Text("hello"), 0x12345678, 0x21);
  entry.WindowsTimes = WindowsFileTimes{0x0102030405060708, 0x1112131415161718, 0x2122232425262728};
  const Bytes header = EncodeHeader(entry);

  EXPECT_EQ(ReadU16(&header[0]), header.size());
  EXPECT_EQ(std::string(header.begin() + 2, header.begin() + 7), "-lh0-");
  EXPECT_EQ(ReadU32(&header[7]), 5u);
  EXPECT_EQ(ReadU32(&header[11]), 5u);
  EXPECT_EQ(ReadU32(&header[15]), 0x12345678u);
  EXPECT_EQ(header[19], 0x21);
  EXPECT_EQ(header[20], 2);
  EXPECT_EQ(ReadU16(&header[21]), ReferenceCrc16(Text("hello")));
  EXPECT_EQ(header[23], 'W');

  const std::vector<Extension> chain = ChainOf(header);
  ASSERT_EQ(chain.size(), 5u);
  const uint8_t types[] = {0x00, 0x01, 0x02, 0x40, 0x41};
  for (size_t i = 0; i < chain.size(); ++i) {
    EXPECT_EQ(chain[i].Type, types[i]);
    EXPECT_EQ(chain[i].Size, chain[i].Data.size() + 3);
  }
  EXPECT_EQ(chain[1].Data, Text("a.bmp"));
  EXPECT_EQ(chain[2].Data, Text("docs\xFFimg\xFF"));
  EXPECT_EQ(chain[3].Data, (Bytes{0x21, 0x00}));
  EXPECT_EQ(chain[4].Data, (Bytes{8, 7, 6, 5, 4, 3, 2, 1, 0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11,
                                  0x28, 0x27, 0x26, 0x25, 0x24, 0x23, 0x22, 0x21}));
  // The last size field is 0 and closes the header.
  EXPECT_EQ(chain.back().SizeFieldAt + chain.back().Size + 2, header.size());
  EXPECT_EQ(ReadU16(&header[header.size() - 2]), 0);

  // The header CRC covers every header byte, its own two counted as zero.
  Bytes zeroed = header;
  zeroed[chain[0].SizeFieldAt + 3] = 0;
  zeroed[chain[0].SizeFieldAt + 4] = 0;
  EXPECT_EQ(ReadU16(chain[0].Data.data()), ReferenceCrc16(zeroed));
}

TEST(LzhWriter, MinimalChainCountsTypeDataAndNextSizeField) {
  LzhEntry entry;
  entry.FileName = "a";
  entry.OmitHeaderCrc = true;
  const Bytes header = EncodeHeader(entry);
  ASSERT_EQ(header.size(), 30u);
  EXPECT_EQ(Bytes(header.begin() + 24, header.end()), (Bytes{4, 0, 0x01, 'a', 0, 0}));
  EXPECT_EQ(ReadU16(&header[0]), 30);

  LzhEntry bare;
  bare.OmitHeaderCrc = true;
  const Bytes fixedOnly = EncodeHeader(bare);
  EXPECT_EQ(fixedOnly.size(), 26u);
  EXPECT_EQ(ReadU16(&fixedOnly[24]), 0);
}

TEST(LzhWriter, DirectoryEntryHasNoDataAndNoFileName) {
  const Bytes header = EncodeHeader(MakeDirectoryEntry("docs\xFF", 100, 0x10));
  EXPECT_EQ(std::string(header.begin() + 2, header.begin() + 7), "-lhd-");
  EXPECT_EQ(ReadU32(&header[7]), 0u);
  EXPECT_EQ(ReadU32(&header[11]), 0u);
  EXPECT_EQ(header[19], 0x10);
  std::vector<uint8_t> types;
  for (const Extension& extension : ChainOf(header)) types.push_back(extension.Type);
  EXPECT_EQ(types, (std::vector<uint8_t>{0x00, 0x02, 0x40, 0x41}));
}

TEST(LzhWriter, PackedDataSetsCompressedSizeButCrcAndSizeComeFromTheOriginal) {
  LzhEntry entry = MakeFileEntry("", "p.bin", Text("original data"));
  entry.MethodId = "-lh5-";
  entry.PackedData = Bytes{1, 2, 3};
  const Bytes encoded = EncodeEntry(entry);
  const Bytes header = EncodeHeader(entry);
  EXPECT_EQ(ReadU32(&header[7]), 3u);
  EXPECT_EQ(ReadU32(&header[11]), 13u);
  EXPECT_EQ(ReadU16(&header[21]), ReferenceCrc16(Text("original data")));
  EXPECT_EQ(Bytes(encoded.begin() + static_cast<long>(header.size()), encoded.end()), (Bytes{1, 2, 3}));
}

TEST(LzhWriter, BrokenFixtureKnobsChangeOnlyTheirField) {
  const LzhEntry sound = MakeFileEntry("", "a.txt", Text("abc"));
  const Bytes reference = EncodeHeader(sound);
  const size_t crcAt = 24 + 3;  // the CRC header comes first

  LzhEntry corrupt = sound;
  corrupt.CorruptHeaderCrc = true;
  const Bytes corrupted = EncodeHeader(corrupt);
  EXPECT_EQ(ReadU16(&corrupted[crcAt]), static_cast<uint16_t>(~ReadU16(&reference[crcAt])));

  LzhEntry forced = sound;
  forced.ForcedHeaderSize = 7;
  forced.ForcedCompressedSize = 0xFFFFFFF0;
  forced.ForcedUncompressedSize = 99;
  forced.ForcedDataCrc = 0xBEEF;
  forced.HeaderLevel = 1;
  forced.OsId = 'U';
  const Bytes header = EncodeHeader(forced);
  EXPECT_EQ(header.size(), reference.size());
  EXPECT_EQ(ReadU16(&header[0]), 7);
  EXPECT_EQ(ReadU32(&header[7]), 0xFFFFFFF0u);
  EXPECT_EQ(ReadU32(&header[11]), 99u);
  EXPECT_EQ(ReadU16(&header[21]), 0xBEEF);
  EXPECT_EQ(header[20], 1);
  EXPECT_EQ(header[23], 'U');

  LzhEntry noCrc = sound;
  noCrc.OmitHeaderCrc = true;
  noCrc.ExtraHeaders.push_back({0x7E, Bytes{9, 9}});
  const std::vector<Extension> chain = ChainOf(EncodeHeader(noCrc));
  ASSERT_FALSE(chain.empty());
  EXPECT_NE(chain.front().Type, 0x00);
  EXPECT_EQ(chain.back().Type, 0x7E);
  EXPECT_EQ(chain.back().Data, (Bytes{9, 9}));

  LzhEntry shortId = sound;
  shortId.MethodId = "-lh0";
  EXPECT_THROW(EncodeHeader(shortId), std::invalid_argument);
  LzhEntry hugeName = sound;
  hugeName.FileName = std::string(70000, 'n');
  EXPECT_THROW(EncodeHeader(hugeName), std::invalid_argument);
}

TEST(LzhWriter, ArchiveHasCheckWordEntriesAndEndMarker) {
  const std::vector<LzhEntry> entries = {MakeFileEntry("", "$", Text("$Flag=1")), MakeDirectoryEntry("d\xFF"),
                                         MakeFileEntry("d\xFF", "x", Text("xyz")), MakeFileEntry("", "e", {})};
  const uint16_t expected =
      ReferenceCrc16(Text("$Flag=1")) ^ ReferenceCrc16(Bytes{}) ^ ReferenceCrc16(Text("xyz")) ^ ReferenceCrc16(Bytes{});
  EXPECT_EQ(ArchiveCheckWord(entries), expected);

  LzhArchiveOptions options;
  options.CheckWord = true;
  const Bytes archive = EncodeArchive(entries, options);
  EXPECT_EQ(ReadU16(&archive[0]), expected);
  EXPECT_EQ(archive.back(), 0);

  const std::vector<ParsedEntry> parsed = ReadArchiveHeaders(archive, 2);
  ASSERT_EQ(parsed.size(), 4u);
  EXPECT_EQ(parsed[1].MethodId, "-lhd-");
  EXPECT_EQ(parsed[1].DirName, "d\xFF");
  EXPECT_EQ(parsed[2].DirName + parsed[2].FileName, "d\xFFx");
  EXPECT_EQ(parsed[2].CompressedSize, 3u);
  EXPECT_EQ(CheckWordOf(parsed), expected);
  // Entries follow each other without gaps, the end marker right behind the last one's data.
  EXPECT_EQ(parsed[0].Offset, 2u);
  for (size_t i = 1; i < parsed.size(); ++i)
    EXPECT_EQ(parsed[i].Offset, parsed[i - 1].Offset + parsed[i - 1].HeaderSize + parsed[i - 1].CompressedSize);
  EXPECT_EQ(parsed.back().Offset + parsed.back().HeaderSize + parsed.back().CompressedSize, archive.size() - 1);

  LzhArchiveOptions cut;
  cut.TruncateTo = 10;
  EXPECT_EQ(EncodeArchive(entries, cut), Bytes(archive.begin() + 2, archive.begin() + 12));
  LzhArchiveOptions open;
  open.EndMarker = false;
  EXPECT_EQ(EncodeArchive(entries, open).size(), archive.size() - 3);
}

TEST(LzhWriterReader, RefusesEveryKindOfBrokenHeader) {
  struct Case {
    void (*Break)(LzhEntry&);
    const char* Problem;
  };
  const Case cases[] = {
      {[](LzhEntry& e) { e.OmitHeaderCrc = true; }, "no header-CRC"},
      {[](LzhEntry& e) { e.CorruptHeaderCrc = true; }, "header CRC mismatch"},
      {[](LzhEntry& e) { e.MethodId = "-lh1-"; }, "unknown method"},
      {[](LzhEntry& e) { e.MethodId = "-lz5-"; }, "unknown method"},
      {[](LzhEntry& e) { e.MethodId = std::string("-lh\0-", 5); }, "unknown method"},
      {[](LzhEntry& e) { e.ForcedHeaderSize = 25; }, "below the fixed part"},
      {[](LzhEntry& e) { e.ForcedHeaderSize = 40; }, "past the header's end"},
      {[](LzhEntry& e) { e.ForcedHeaderSize = 5000; }, "cut short"},
      {[](LzhEntry& e) { e.ForcedCompressedSize = 100; }, "data runs past"},
      {[](LzhEntry& e) { e.ExtraHeaders.push_back({0x00, Bytes{1}}); }, "header-CRC extended header too short"},
  };
  for (const Case& c : cases) {
    LzhEntry entry = MakeFileEntry("", "a.txt", Text("abc"));
    c.Break(entry);
    try {
      ReadArchiveHeaders(EncodeArchive({entry}));
      ADD_FAILURE() << "accepted a header with: " << c.Problem;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.Problem), std::string::npos) << error.what();
    }
  }

  // An extended header whose size field says 2 cannot even hold its type byte.
  LzhEntry entry = MakeFileEntry("", "a.txt", Text("abc"));
  entry.ExtraHeaders.push_back({0x7F, {}});
  Bytes archive = EncodeArchive({entry});
  archive[EncodeHeader(entry).size() - 2 - 3] = 2;
  EXPECT_THROW(ReadArchiveHeaders(archive), std::runtime_error);

  // A sound archive, an empty one and one cut exactly behind the last entry's data all read.
  const Bytes sound = EncodeArchive({MakeFileEntry("", "a.txt", Text("abc"))});
  EXPECT_EQ(ReadArchiveHeaders(sound).size(), 1u);
  EXPECT_EQ(ReadArchiveHeaders(Bytes{0}).size(), 0u);
  EXPECT_EQ(ReadArchiveHeaders(Bytes(sound.begin(), sound.end() - 1)).size(), 1u);
}

// Archives of ours must list and extract byte-identical with independent implementations.
class LzhWriterCrossCheck : public ::testing::Test {
 protected:
  builder_test::TempFolder Folder;
  std::vector<LzhEntry> Entries;

  void SetUp() override {
    Bytes binary(70000);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<uint8_t>((i * 131 + i / 7) & 0xFF);
    Entries = {MakeDirectoryEntry("docs\xFF", 1000000000), MakeDirectoryEntry("docs\xFFimg\xFF", 1000000000),
               MakeFileEntry("docs\xFFimg\xFF", "a.bmp", binary, 1234567890),
               MakeFileEntry("docs\xFF", "empty.txt", {}, 1500000000),
               MakeFileEntry("", "readme.txt", Text("read me\r\n"), 1700000000)};
    builder_test::WriteFile(Folder.Path("ours.lzh"), EncodeArchive(Entries));
  }

  void ExpectExtracted(const std::string& root) {
    using builder_test::ReadFile;
    EXPECT_EQ(ReadFile(root + "/docs/img/a.bmp"), Entries[2].Data);
    EXPECT_TRUE(std::filesystem::is_regular_file(root + "/docs/empty.txt"));
    EXPECT_EQ(ReadFile(root + "/docs/empty.txt"), Bytes{});
    EXPECT_EQ(ReadFile(root + "/readme.txt"), Entries[4].Data);
    struct stat info {};
    ASSERT_EQ(stat((root + "/docs/img/a.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1234567890);
  }
};

TEST_F(LzhWriterCrossCheck, LhasaTestsListsAndExtractsByteIdentical) {
  if (!builder_test::ToolAvailable("lhasa")) GTEST_SKIP() << "lhasa is not installed";
  const std::string archive = Quote(Folder.Path("ours.lzh"));
  EXPECT_EQ(builder_test::RunShell("lhasa tq " + archive), 0);
  // lhasa stops listing at a header whose CRC is wrong, so a full count shows every header CRC is right.
  EXPECT_EQ(builder_test::RunShell("test \"$(lhasa l " + archive + " | grep -c '^\\[')\" = 5"), 0);
  ASSERT_EQ(builder_test::RunShell("lhasa pq " + archive + " readme.txt > " + Quote(Folder.Path("printed"))), 0);
  EXPECT_EQ(builder_test::ReadFile(Folder.Path("printed")), Entries[4].Data);
  std::filesystem::create_directory(Folder.Path("lhasa"));
  ASSERT_EQ(builder_test::RunShell("lhasa xqw=" + Quote(Folder.Path("lhasa")) + " " + archive), 0);
  ExpectExtracted(Folder.Path("lhasa"));
}

TEST_F(LzhWriterCrossCheck, SevenZipTestsAndExtractsByteIdentical) {
  if (!builder_test::ToolAvailable("7zz")) GTEST_SKIP() << "7zz is not installed";
  const std::string archive = Quote(Folder.Path("ours.lzh"));
  EXPECT_EQ(builder_test::RunShell("7zz t " + archive + " >/dev/null"), 0);
  ASSERT_EQ(builder_test::RunShell("7zz x -y -o" + Quote(Folder.Path("7z")) + " " + archive + " >/dev/null"), 0);
  ExpectExtracted(Folder.Path("7z"));
}

TEST_F(LzhWriterCrossCheck, LhasaRefusesOurCorruptedHeaderCrc) {
  if (!builder_test::ToolAvailable("lhasa")) GTEST_SKIP() << "lhasa is not installed";
  // Shows that the tools' acceptance above really depends on our header CRCs.
  Entries[4].CorruptHeaderCrc = true;
  builder_test::WriteFile(Folder.Path("bad.lzh"), EncodeArchive(Entries));
  EXPECT_NE(builder_test::RunShell("lhasa l " + Quote(Folder.Path("bad.lzh")) + " | grep -q readme.txt"), 0);
}
