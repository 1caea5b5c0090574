// The block decoder and the stored copy, fed hand-made streams through the archive file into a real output file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "archive/crc16.h"
#include "decode/decoder.h"
#include "test_support.h"

namespace {

class BitWriter {
 public:
  void Put(uint32_t value, uint32_t width) {
    for (uint32_t i = width; i-- > 0;) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80 >> (used_ % 8)));
      ++used_;
    }
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  uint32_t used_ = 0;
};

// A canonical code made from its lengths: by increasing length, then symbol.
struct Code {
  explicit Code(std::vector<uint8_t> codeLengths) : lengths(std::move(codeLengths)), codes(CanonicalCodes(lengths)) {}
  void Put(BitWriter& out, uint32_t symbol) const {
    ASSERT_NE(lengths.at(symbol), 0) << "symbol " << symbol << " has no code";
    out.Put(codes[symbol], lengths[symbol]);
  }
  std::vector<uint8_t> lengths;
  std::vector<uint32_t> codes;
};

// 13 lengths of 4 bits and 6 of 5: a complete code-length code in which every length and run has a code.
const std::vector<uint8_t> EveryCodeLength = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5};

struct Method {
  char digit;
  uint32_t positionCodes;
  uint32_t positionBits;
};
constexpr Method Lh4{'4', 14, 4}, Lh5{'5', 14, 4}, Lh6{'6', 17, 5}, Lh7{'7', 17, 5};

// A complete position code over all NP symbols.
std::vector<uint8_t> EveryPosition(const Method& method) {
  if (method.positionCodes == 14) return {3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};
  return {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5};
}

void PutLength3(BitWriter& out, uint32_t length) {
  if (length < 7) return out.Put(length, 3);
  out.Put(7, 3);
  for (uint32_t i = 7; i < length; ++i) out.Put(1, 1);
  out.Put(0, 1);
}

size_t UsedCount(const std::vector<uint8_t>& lengths) {
  size_t count = lengths.size();
  while (count > 0 && lengths[count - 1] == 0) --count;
  return count;
}

void PutPtLengths(BitWriter& out, const std::vector<uint8_t>& lengths, uint32_t countBits, bool zeroRunAfterThird) {
  const size_t count = UsedCount(lengths);
  out.Put(static_cast<uint32_t>(count), countBits);
  for (size_t i = 0; i < count;) {
    PutLength3(out, lengths[i++]);
    if (zeroRunAfterThird && i == 3) {
      uint32_t zeros = 0;
      while (zeros < 3 && i + zeros < count && lengths[i + zeros] == 0) ++zeros;
      out.Put(zeros, 2);
      i += zeros;
    }
  }
}

// Literal/length lengths through the code-length code, zeros in the widest runs that fit.
void PutLitLenLengths(BitWriter& out, const std::vector<uint8_t>& lengths, const Code& codeLength) {
  const size_t count = UsedCount(lengths);
  out.Put(static_cast<uint32_t>(count), 9);
  for (size_t i = 0; i < count;) {
    if (lengths[i] != 0) {
      codeLength.Put(out, lengths[i++] + 2u);
      continue;
    }
    size_t zeros = 0;
    while (i + zeros < count && lengths[i + zeros] == 0) ++zeros;
    if (zeros >= 20) {
      zeros = std::min<size_t>(zeros, 531);
      codeLength.Put(out, 2);
      out.Put(static_cast<uint32_t>(zeros - 20), 9);
    } else if (zeros >= 3) {
      zeros = std::min<size_t>(zeros, 18);
      codeLength.Put(out, 1);
      out.Put(static_cast<uint32_t>(zeros - 3), 4);
    } else {
      zeros = 1;
      codeLength.Put(out, 0);
    }
    i += zeros;
  }
}

// The codes of one block; a code of one symbol goes out in the one-symbol form.
struct Block {
  uint32_t size = 0;  // 0 stands for 65,536 symbols
  std::vector<uint8_t> codeLength = EveryCodeLength;
  std::vector<uint8_t> litLen;
  int oneLitLen = -1;
  std::vector<uint8_t> position;
  int onePosition = -1;
};

void PutBlockHeader(BitWriter& out, const Block& block, const Method& method) {
  out.Put(block.size, 16);
  if (block.oneLitLen >= 0) {
    out.Put(0, 5);
    out.Put(0, 5);
    out.Put(0, 9);
    out.Put(static_cast<uint32_t>(block.oneLitLen), 9);
  } else {
    PutPtLengths(out, block.codeLength, 5, true);
    PutLitLenLengths(out, block.litLen, Code(block.codeLength));
  }
  if (block.onePosition >= 0) {
    out.Put(0, method.positionBits);
    out.Put(static_cast<uint32_t>(block.onePosition), method.positionBits);
  } else {
    PutPtLengths(out, block.position, method.positionBits, false);
  }
}

// Writes symbols with the block's codes.
struct SymbolWriter {
  SymbolWriter(BitWriter& output, const Block& block) : out(output), litLen(block.litLen), position(block.position) {}
  void Literal(uint8_t byte) {
    if (!litLen.lengths.empty()) litLen.Put(out, byte);
  }
  void Match(uint32_t length, uint32_t distance) {
    if (!litLen.lengths.empty()) litLen.Put(out, length + 253);
    const uint32_t p = distance - 1;
    uint32_t j = 0;
    while ((p >> j) != 0) ++j;  // 0 for p 0, 1 for p 1, else p's bit width
    if (!position.lengths.empty()) position.Put(out, j);
    if (j >= 2) out.Put(p - (1u << (j - 1)), j - 1);
  }
  BitWriter& out;
  Code litLen;
  Code position;
};

// 255 literals 0..254 of 8 bits, literal 255 and the 256-byte match (509) of 9 bits.
std::vector<uint8_t> BytesAndLongMatch() {
  std::vector<uint8_t> lengths(510, 0);
  std::fill(lengths.begin(), lengths.begin() + 255, 8);
  lengths[255] = 9;
  lengths[509] = 9;
  return lengths;
}

class BlockDecoderTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    UseAsModule((Folder / "setup.exe").string());
    BuildCrcTable(Work->CrcTable);
    OutputFile = (Folder / "out.bin").string();
  }

  // Puts the entry's header in place and opens its data, followed by bytes of the next header.
  void OpenEntry(const Bytes& data, uint32_t uncompressedSize, char digit, std::optional<uint32_t> storedSize = {}) {
    LzhEntry entry;
    entry.MethodId = std::string("-lh") + digit + "-";
    entry.FileName = "entry";
    entry.PackedData = data;
    entry.ForcedUncompressedSize = uncompressedSize;
    entry.ForcedCompressedSize = storedSize;
    const Bytes header = EncodeHeader(entry);
    if (Work->HeaderBuffer != nullptr) ReleaseMemory(Work->HeaderBuffer);
    Work->HeaderBuffer = static_cast<uint8_t*>(AllocateZeroed(static_cast<uint32_t>(header.size())));
    std::memcpy(Work->HeaderBuffer, header.data(), header.size());
    Bytes file = data;
    for (uint8_t b : {'N', 'E', 'X', 'T'}) file.push_back(b);
    Work->ArchiveFile = OpenFileForReading(WriteFile("archive.bin", file).c_str());
    Work->InputPos = 0xFFFFFFFF;
    std::strcpy(Work->OutputPath, OutputFile.c_str());
    Work->OutputFile = CreateOutputFile(OutputFile.c_str());
  }

  // Closes both files; returns the output, checks its crc, and records where the archive was left.
  Bytes Finish() {
    EndPosition = SeekFile(Work->ArchiveFile, 0, SeekOrigin::Current);
    CloseReadFile(Work->ArchiveFile);
    CloseOutputFile(Work->OutputFile);
    Work->ArchiveFile = Work->OutputFile = NoFile;
    const Bytes output = ReadFileBytes(OutputFile);
    EXPECT_EQ(Work->RunningCrc, Crc16(output));
    return output;
  }

  Bytes Decode(const Bytes& compressed, uint32_t uncompressedSize, const Method& method = Lh5) {
    OpenEntry(compressed, uncompressedSize, method.digit);
    DecodeEntry();
    return Finish();
  }

  // Runs the decoder in a death test that must end with status 1, the message and no output file left.
  void ExpectDecodeAborts(const Bytes& compressed, uint32_t uncompressedSize, const Method& method, const char* message) {
    EXPECT_EXIT(
        {
          PrintMessagesAtExit();
          OpenEntry(compressed, uncompressedSize, method.digit);
          DecodeEntry();
        },
        ::testing::ExitedWithCode(1), message);
    EXPECT_FALSE(std::filesystem::exists(OutputFile));
  }

  std::vector<std::string> LabelTexts() const {
    std::vector<std::string> texts;
    for (const host::RecordedLabel& label : host::Labels()) texts.push_back(label.text);
    return texts;
  }

  std::string OutputFile;
  int32_t EndPosition = -1;
};

TEST_F(BlockDecoderTest, OneSymbolFormsTakeNoBitsPerSymbol) {
  BitWriter out;
  Block block;
  block.size = 1000;
  block.oneLitLen = 'A';
  block.onePosition = 0;
  PutBlockHeader(out, block, Lh5);
  EXPECT_EQ(Decode(out.bytes(), 1000), Bytes(1000, 'A'));
  EXPECT_EQ(EndPosition, static_cast<int32_t>(out.bytes().size()));
}

TEST_F(BlockDecoderTest, BlockSizeZeroGoverns65536Symbols) {
  BitWriter out;
  Block first;
  first.size = 0;
  first.oneLitLen = 'A';
  first.onePosition = 0;
  PutBlockHeader(out, first, Lh5);
  Block second = first;
  second.size = 34464;
  second.oneLitLen = 'B';
  PutBlockHeader(out, second, Lh5);
  Bytes expected(65536, 'A');
  expected.insert(expected.end(), 34464, 'B');
  EXPECT_EQ(Decode(out.bytes(), 100000), expected);
  // A full window goes out with the count after its last byte; the rest with the total and more.
  EXPECT_EQ(LabelTexts(), (std::vector<std::string>{"Extract... 65%", "Extract... 100%"}));
}

TEST_F(BlockDecoderTest, LiteralsAndMatchesAcrossTheWindowEndForEveryMethod) {
  for (const Method& method : {Lh4, Lh5, Lh6, Lh7}) {
    // xyz, the bytes 0..255, then matches 256 back: the window fills up inside a match whose
    // source wraps around too.
    const uint32_t total = 200000;
    BitWriter out;
    Block block;
    block.litLen = BytesAndLongMatch();
    block.position = EveryPosition(method);
    const uint32_t matches = (total - 259 + 255) / 256;
    block.size = 259 + matches;
    PutBlockHeader(out, block, method);
    SymbolWriter symbols(out, block);
    Bytes expected = {'x', 'y', 'z'};
    for (uint8_t b : {'x', 'y', 'z'}) symbols.Literal(b);
    for (uint32_t i = 0; i < 256; ++i) {
      symbols.Literal(static_cast<uint8_t>(i));
      expected.push_back(static_cast<uint8_t>(i));
    }
    for (uint32_t i = 0; i < matches; ++i) symbols.Match(256, 256);
    while (expected.size() < total) expected.push_back(static_cast<uint8_t>(expected.size() - 3));
    EXPECT_EQ(Decode(out.bytes(), total, method), expected) << method.digit;
    EXPECT_EQ(EndPosition, static_cast<int32_t>(out.bytes().size())) << method.digit;
  }
}

TEST_F(BlockDecoderTest, NearMatchesRepeatAndAFinalMatchIsCutAtTheSize) {
  BitWriter out;
  Block block;
  block.litLen = std::vector<uint8_t>(510, 0);
  block.litLen['q'] = 1;
  block.litLen[509] = 1;
  block.onePosition = 0;
  block.size = 2;
  PutBlockHeader(out, block, Lh5);
  SymbolWriter symbols(out, block);
  symbols.Literal('q');
  symbols.Match(256, 1);
  // 257 is the whole match; below that the header's size is all that reaches the output.
  for (uint32_t total : {257u, 100u, 2u}) {
    EXPECT_EQ(Decode(out.bytes(), total), Bytes(total, 'q')) << total;
    EXPECT_EQ(Work->BytesDone, total);
  }
}

TEST_F(BlockDecoderTest, MatchesReachBackIntoWhatEarlierEntriesLeft) {
  for (uint32_t i = 0; i < 65536; ++i) Work->Window[i] = static_cast<uint8_t>(i * 7 + 3);
  const Bytes before(Work->Window, Work->Window + 65536);
  BitWriter out;
  Block block;
  block.litLen = BytesAndLongMatch();
  block.litLen[256 + 10 - 3] = 9;  // the 10-byte match
  block.litLen[255] = 0;
  block.position = EveryPosition(Lh7);
  block.size = 2;
  PutBlockHeader(out, block, Lh7);
  SymbolWriter symbols(out, block);
  symbols.Match(10, 10);     // the ten bytes at the window's end
  symbols.Match(10, 65536);  // as far back as a position reaches: the bytes the window holds here
  Bytes expected(before.end() - 10, before.end());
  expected.insert(expected.end(), before.begin() + 10, before.begin() + 20);
  EXPECT_EQ(Decode(out.bytes(), 20, Lh7), expected);
}

TEST_F(BlockDecoderTest, LongLengthFormsAndAllZeroRunsReadTheCodes) {
  // The code-length code: 1, 2, 3, a run of three zeros after the third, then 4..8 and 8 (7 + 1, 7 + 10).
  BitWriter out;
  Block block;
  block.codeLength = {1, 2, 3, 0, 0, 0, 4, 5, 6, 7, 8, 8};
  // Even bytes 0..252 of 7 bits, and matches of 3 and 256 bytes of 8: zero runs of 1, 3 and 252.
  block.litLen = std::vector<uint8_t>(510, 0);
  for (uint32_t b = 0; b <= 252; b += 2) block.litLen[b] = 7;
  block.litLen[256] = 8;
  block.litLen[509] = 8;
  block.position = EveryPosition(Lh6);
  Bytes expected;
  block.size = 127 + 2;
  PutBlockHeader(out, block, Lh6);
  SymbolWriter symbols(out, block);
  for (uint32_t b = 0; b <= 252; b += 2) {
    symbols.Literal(static_cast<uint8_t>(b));
    expected.push_back(static_cast<uint8_t>(b));
  }
  symbols.Match(3, 100);
  symbols.Match(256, 7);
  for (uint32_t k = 0; k < 3 + 256; ++k) expected.push_back(expected[expected.size() - (k < 3 ? 100 : 7)]);
  EXPECT_EQ(Decode(out.bytes(), static_cast<uint32_t>(expected.size()), Lh6), expected);
}

TEST_F(BlockDecoderTest, SizeZeroDecodesNothingButLoadsTheFirstTwoBytes) {
  EXPECT_EQ(Decode({0x12, 0x34, 0x56, 0x78}, 0), Bytes{});
  EXPECT_EQ(Work->BitBuf, 0x1234);
  EXPECT_EQ(EndPosition, 4);
  EXPECT_TRUE(host::Labels().empty());
}

// A stream of one block header built by the hook, for the codes the decoder must refuse.
Bytes HeaderStream(void (*write)(BitWriter&)) {
  BitWriter out;
  out.Put(5, 16);
  write(out);
  for (int i = 0; i < 64; ++i) out.Put(0, 8);
  return out.bytes();
}

void OneSymbolCodeLengthCode(BitWriter& out) {
  out.Put(0, 5);
  out.Put(0, 5);
}

TEST_F(BlockDecoderTest, CodesOutsideTheirBoundsAreBadTables) {
  struct Case {
    const char* name;
    void (*write)(BitWriter&);
  };
  const Case cases[] = {
      {"code-length count 20", [](BitWriter& out) { out.Put(20, 5); }},
      {"one-symbol code-length code 19", [](BitWriter& out) { out.Put(0, 5), out.Put(19, 5); }},
      {"code length 7 + 16", [](BitWriter& out) {
         out.Put(2, 5);
         out.Put(7, 3);
         out.Put(0xFFFF, 16);
         out.Put(0, 1);
         out.Put(1, 3);
       }},
      {"incomplete code-length code", [](BitWriter& out) { out.Put(1, 5), out.Put(1, 3); }},
      {"literal/length count 511", [](BitWriter& out) { OneSymbolCodeLengthCode(out), out.Put(511, 9); }},
      {"one-symbol literal/length 510", [](BitWriter& out) { OneSymbolCodeLengthCode(out), out.Put(0, 9), out.Put(510, 9); }},
      {"zero run past the 510 lengths", [](BitWriter& out) {
         out.Put(0, 5);
         out.Put(2, 5);  // every code-length symbol is 2: a zero run of 20 + 9 bits
         out.Put(510, 9);
         out.Put(511, 9);
       }},
      {"incomplete literal/length code", [](BitWriter& out) {
         out.Put(0, 5);
         out.Put(3, 5);  // every length is 1
         out.Put(1, 9);
       }},
      {"position count 15", [](BitWriter& out) {
         OneSymbolCodeLengthCode(out);
         out.Put(0, 9), out.Put(65, 9);
         out.Put(15, 4);
       }},
      {"one-symbol position 14", [](BitWriter& out) {
         OneSymbolCodeLengthCode(out);
         out.Put(0, 9), out.Put(65, 9);
         out.Put(0, 4), out.Put(14, 4);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectDecodeAborts(HeaderStream(c.write), 5, Lh5, "setup.exe\" Bad table");
  }
}

TEST_F(BlockDecoderTest, AnArchiveThatEndsInsideTheDataIsAReadError) {
  // Three blocks of 65,536 one-bit literals need two refills; the file ends inside the second.
  BitWriter out;
  Block block;
  block.litLen = std::vector<uint8_t>(510, 0);
  block.litLen['a'] = 1;
  block.litLen['b'] = 1;
  block.onePosition = 0;
  for (int b = 0; b < 3; ++b) {
    PutBlockHeader(out, block, Lh5);
    SymbolWriter symbols(out, block);
    for (uint32_t i = 0; i < 65536; ++i) symbols.Literal((i * 37 / 5) % 3 == 0 ? 'a' : 'b');
  }
  const Bytes whole = out.bytes();
  const Bytes cut(whole.begin(), whole.begin() + 20000);
  EXPECT_EXIT(
      {
        PrintMessagesAtExit();
        OpenEntry(cut, 3 * 65536, '5', static_cast<uint32_t>(whole.size()));
        DecodeEntry();
      },
      ::testing::ExitedWithCode(1), "setup.exe\" Read ERROR");
  EXPECT_FALSE(std::filesystem::exists(OutputFile));
}

TEST_F(BlockDecoderTest, StoredCopyMovesWholeWindowsAndReportsTheShareBefore) {
  struct Case {
    uint32_t size;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {0, {}},
      {65536, {"Extract... 0%"}},
      {65537, {"Extract... 0%", "Extract... 100%"}},
  };
  for (const Case& c : cases) {
    host::Reset();
    Bytes data(c.size);
    for (uint32_t i = 0; i < c.size; ++i) data[i] = static_cast<uint8_t>(i ^ (i >> 8));
    OpenEntry(data, c.size, '0');
    CopyStored(c.size);
    EXPECT_EQ(Finish(), data) << c.size;
    EXPECT_EQ(EndPosition, static_cast<int32_t>(c.size));
    EXPECT_EQ(LabelTexts(), c.labels) << c.size;
  }
}

TEST_F(BlockDecoderTest, StoredSizesOf2GiBAndMoreAreCopied) {
  // The file holds far less, so the copy must end in a read error rather than report nothing done.
  for (uint32_t size : {0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_EXIT(
        {
          PrintMessagesAtExit();
          OpenEntry(Bytes(1000, 'z'), size, '0');
          CopyStored(size);
        },
        ::testing::ExitedWithCode(1), "setup.exe\" Read ERROR");
  }
}

}  // namespace
