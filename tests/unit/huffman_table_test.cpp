// Huffman decoding tables: canonical fills, overflow trees, the all-zero set, refused sets and bounded walks.
#include "decode/huffman_table.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "test_support.h"

namespace {

constexpr uint16_t Sentinel = 0xBEEF;

class HuffmanTableTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    UseAsModule((Folder / "setup.exe").string());
    std::fill(std::begin(Work->TreeLeft), std::end(Work->TreeLeft), Sentinel);
    std::fill(std::begin(Work->TreeRight), std::end(Work->TreeRight), Sentinel);
  }

  bool TreesUntouched() const {
    return std::all_of(std::begin(Work->TreeLeft), std::end(Work->TreeLeft), [](uint16_t v) { return v == Sentinel; }) &&
           std::all_of(std::begin(Work->TreeRight), std::end(Work->TreeRight), [](uint16_t v) { return v == Sentinel; });
  }
};

// Every used symbol must come back from its own code, whatever bits follow the code.
void ExpectEveryCodeDecodes(const std::vector<uint8_t>& lengths, const uint16_t* table, uint8_t tableBits) {
  const std::vector<uint32_t> codes = CanonicalCodes(lengths);
  const uint16_t n = static_cast<uint16_t>(lengths.size());
  for (uint16_t symbol = 0; symbol < n; ++symbol) {
    const uint32_t length = lengths[symbol];
    if (length == 0) continue;
    for (uint32_t tail : {0u, 0xFFFFu, 0x5A5Au}) {
      const uint32_t below = length == 16 ? 0 : tail & ((1u << (16 - length)) - 1);
      const uint16_t peek = static_cast<uint16_t>((codes[symbol] << (16 - length)) | below);
      ASSERT_EQ(LookupSymbol(table, tableBits, n, peek), symbol) << "length " << length << " tail " << tail;
    }
  }
}

TEST_F(HuffmanTableTest, TwoSymbolsOfLengthOneSplitTheWideTable) {
  std::vector<uint8_t> lengths(510, 0);
  lengths[65] = 1;
  lengths[300] = 1;
  BuildDecodeTable(510, lengths.data(), 12, Work->LitLenTable);
  for (uint32_t i = 0; i < 4096; ++i) ASSERT_EQ(Work->LitLenTable[i], i < 2048 ? 65 : 300) << i;
  EXPECT_TRUE(TreesUntouched());
}

TEST_F(HuffmanTableTest, LengthsOneTwoThreeThreeFillTheirRanges) {
  std::vector<uint8_t> lengths(19, 0);
  lengths[0] = 1;
  lengths[1] = 2;
  lengths[2] = 3;
  lengths[3] = 3;
  std::fill(std::begin(Work->PtTable), std::end(Work->PtTable), Sentinel);
  BuildDecodeTable(19, lengths.data(), 8, Work->PtTable);
  for (uint32_t i = 0; i < 256; ++i) {
    const uint16_t expected = i < 128 ? 0 : i < 192 ? 1 : i < 224 ? 2 : 3;
    ASSERT_EQ(Work->PtTable[i], expected) << i;
  }
  EXPECT_TRUE(TreesUntouched());
}

TEST_F(HuffmanTableTest, LongCodesResolveThroughTheTrees) {
  // 1..8, 9, 10, 10 at B = 8: the last three codes hang below the all-ones table entry.
  std::vector<uint8_t> small = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0};
  std::fill(std::begin(Work->PtTable), std::end(Work->PtTable), Sentinel);
  BuildDecodeTable(19, small.data(), 8, Work->PtTable);
  EXPECT_GE(Work->PtTable[255], 19);
  ExpectEveryCodeDecodes(small, Work->PtTable, 8);

  // 255 codes of 8 bits, one of 15 and 254 of 16 at B = 12: trees four levels deep.
  std::vector<uint8_t> wide(510, 16);
  std::fill(wide.begin(), wide.begin() + 255, 8);
  wide[400] = 15;
  std::fill(std::begin(Work->LitLenTable), std::end(Work->LitLenTable), Sentinel);
  BuildDecodeTable(510, wide.data(), 12, Work->LitLenTable);
  ExpectEveryCodeDecodes(wide, Work->LitLenTable, 12);

  // The literal/length tree stays intact while a later code is built in PtTable.
  BuildDecodeTable(19, small.data(), 8, Work->PtTable);
  ExpectEveryCodeDecodes(wide, Work->LitLenTable, 12);
}

TEST_F(HuffmanTableTest, AllZeroSetChangesNothing) {
  std::vector<uint8_t> lengths(19, 0);
  std::fill(std::begin(Work->PtTable), std::end(Work->PtTable), Sentinel);
  BuildDecodeTable(19, lengths.data(), 8, Work->PtTable);
  EXPECT_TRUE(std::all_of(std::begin(Work->PtTable), std::end(Work->PtTable), [](uint16_t v) { return v == Sentinel; }));
  EXPECT_TRUE(TreesUntouched());
}

TEST_F(HuffmanTableTest, ShortCodesCoveringTheTableMakeNoNodes) {
  std::vector<uint8_t> lengths(14, 0);
  lengths[3] = 2;
  lengths[5] = 2;
  lengths[6] = 2;
  lengths[13] = 2;
  BuildDecodeTable(14, lengths.data(), 8, Work->PtTable);
  for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(Work->PtTable[i], (std::vector<uint16_t>{3, 5, 6, 13})[i / 64]);
  EXPECT_TRUE(TreesUntouched());
}

struct RefusedSet {
  const char* name;
  std::vector<uint8_t> lengths;
};

TEST_F(HuffmanTableTest, InconsistentSetsAreRefused) {
  const RefusedSet cases[] = {
      {"one symbol of length 1", {1}},
      {"incomplete", {1, 2}},
      {"over-full", {1, 1, 1}},
      {"weights add up to twice the code space", {1, 1, 1, 1}},
      {"a length above 16", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 17}},
  };
  for (const RefusedSet& set : cases) {
    std::vector<uint8_t> lengths = set.lengths;
    lengths.resize(19, 0);
    EXPECT_EXIT(
        {
          PrintMessagesAtExit();
          BuildDecodeTable(19, lengths.data(), 8, Work->PtTable);
        },
        ::testing::ExitedWithCode(1), "setup.exe\" Bad table")
        << set.name;
  }
}

TEST_F(HuffmanTableTest, WalksThatDoNotResolveEndWithBadTable) {
  // A node that leads to itself, and a table value that is no node at all, as stale tables may hold.
  Work->PtTable[0x12] = 30;
  Work->TreeLeft[30] = 30;
  Work->TreeRight[30] = 30;
  EXPECT_EXIT(
      {
        PrintMessagesAtExit();
        LookupSymbol(Work->PtTable, 8, 19, 0x1234);
      },
      ::testing::ExitedWithCode(1), "Bad table");
  Work->LitLenTable[0xABC] = 0xFFFF;
  EXPECT_EXIT(
      {
        PrintMessagesAtExit();
        LookupSymbol(Work->LitLenTable, 12, 510, 0xABCD);
      },
      ::testing::ExitedWithCode(1), "Bad table");
}

}  // namespace
