// The block decoder of -lh4- to -lh7-: block headers with their three codes, then literals and matches
// through the 65,536-byte window into the output sink.
#include <cstring>
#include <iterator>

#include "archive/format.h"
#include "archive/sink.h"
#include "decode/bit_reader.h"
#include "decode/decoder.h"
#include "decode/huffman_table.h"
#include "startup/work_area.h"

namespace {

constexpr uint16_t LitLenSymbols = 510;
constexpr uint8_t LitLenCountBits = 9;
constexpr uint8_t LitLenTableBits = 12;
constexpr uint16_t CodeLengthSymbols = 19;
constexpr uint8_t CodeLengthCountBits = 5;
constexpr uint8_t PtTableBits = 8;
constexpr uint16_t ZeroRunAfterThird = 3;  // the code-length code's lengths carry a zero run after the third
constexpr uint16_t NoZeroRun = 0;
constexpr uint8_t BlockSizeBits = 16;
constexpr uint16_t FirstMatchSymbol = 256;
constexpr uint32_t MatchLengthBias = FirstMatchSymbol - 3;  // symbol 256 is a match of 3 bytes
constexpr uint32_t WindowMask = WindowBytes - 1;

// NP and PBIT of -lh4- to -lh7-, by method digit.
struct MethodParameters {
  uint16_t positionCodes;
  uint16_t positionBits;
};
constexpr MethodParameters Methods[4] = {{14, 4}, {14, 4}, {17, 5}, {17, 5}};

// Code-length symbols 0..2 stand for runs of zero lengths: base + a field of extra bits.
struct ZeroRun {
  uint8_t extraBits;
  uint16_t base;
};
constexpr ZeroRun ZeroRuns[3] = {{0, 1}, {4, 3}, {9, 20}};
constexpr uint16_t FirstLengthSymbol = 3;  // code-length symbols 3..18 are the lengths 1..16

void StartDecoder(uint8_t digit) {
  WorkArea& w = *Work;
  const MethodParameters& method = Methods[(digit - '4') & 3];
  w.PositionCodes = method.positionCodes;
  w.PositionBits = method.positionBits;
  w.BitBuf = 0;
  w.SubBitBuf = 0;
  w.BitCount = 0;
  FillBits(16);
  w.BlockLeft = 0;
}

// The one-symbol form of a code: no lengths, and every table entry names the symbol read next, which
// then takes no bits. A symbol outside the alphabet could only lead lookups into stale trees.
void ReadOneSymbol(uint16_t n, uint8_t bits, uint8_t* lengths, uint16_t* table, uint32_t tableSize) {
  memset(lengths, 0, n);
  const uint16_t symbol = GetBits(bits);
  if (symbol >= n) RefuseBadTable();
  for (uint32_t i = 0; i < tableSize; ++i) table[i] = symbol;
}

// Reads the lengths of the code-length code (nn 19) or the position code (nn NP) and builds PtTable.
void ReadPtLengths(uint16_t nn, uint8_t nbit, uint16_t zeroRunAfter) {
  WorkArea& w = *Work;
  uint16_t count = GetBits(nbit);
  if (count == 0) return ReadOneSymbol(nn, nbit, w.PtLengths, w.PtTable, std::size(w.PtTable));
  if (count > nn) RefuseBadTable();
  uint32_t i = 0;
  while (i < count) {
    uint32_t length = GetBits(3);
    if (length == 7) {
      uint32_t ones = 0;
      while (ones < 16 && (w.BitBuf & (0x8000u >> ones)) != 0) ++ones;
      length += ones;
      FillBits(static_cast<uint8_t>(ones + 1));
    }
    w.PtLengths[i++] = static_cast<uint8_t>(length);
    if (i == zeroRunAfter) {
      uint32_t zeros = GetBits(2);
      memset(w.PtLengths + i, 0, zeros);
      i += zeros;
    }
  }
  if (i < nn) memset(w.PtLengths + i, 0, nn - i);
  BuildDecodeTable(nn, w.PtLengths, PtTableBits, w.PtTable);
}

// Reads the literal/length code's lengths through the code-length code in PtTable and builds LitLenTable.
void ReadLitLenLengths() {
  WorkArea& w = *Work;
  uint16_t count = GetBits(LitLenCountBits);
  if (count == 0)
    return ReadOneSymbol(LitLenSymbols, LitLenCountBits, w.LitLenLengths, w.LitLenTable, std::size(w.LitLenTable));
  if (count > LitLenSymbols) RefuseBadTable();
  uint32_t i = 0;
  while (i < count) {
    uint16_t symbol = LookupSymbol(w.PtTable, PtTableBits, CodeLengthSymbols, w.BitBuf);
    FillBits(w.PtLengths[symbol]);
    if (symbol >= FirstLengthSymbol) {
      w.LitLenLengths[i++] = static_cast<uint8_t>(symbol - (FirstLengthSymbol - 1));
      continue;
    }
    const ZeroRun& run = ZeroRuns[symbol];
    uint32_t zeros = run.base + GetBits(run.extraBits);
    if (zeros > LitLenSymbols - i) RefuseBadTable();
    memset(w.LitLenLengths + i, 0, zeros);
    i += zeros;
  }
  memset(w.LitLenLengths + i, 0, LitLenSymbols - i);
  BuildDecodeTable(LitLenSymbols, w.LitLenLengths, LitLenTableBits, w.LitLenTable);
}

void ReadBlockHeader() {
  WorkArea& w = *Work;
  w.BlockLeft = GetBits(BlockSizeBits);
  ReadPtLengths(CodeLengthSymbols, CodeLengthCountBits, ZeroRunAfterThird);
  ReadLitLenLengths();
  // The position code replaces the code-length code in PtTable for the rest of the block.
  ReadPtLengths(w.PositionCodes, static_cast<uint8_t>(w.PositionBits), NoZeroRun);
}

// Copies of the block's two code tables in which each entry that holds a symbol also holds the
// symbol's code length, so that one load gives both.
struct FoldedTables {
  uint16_t litLen[1u << LitLenTableBits];
  uint16_t position[1u << PtTableBits];
};

// A folded entry: the symbol in bits 6..14, Resolved, and the code length in bits 0..4, so that the
// length is at hand without a shift; 0 for an entry that leads into a tree.
constexpr uint16_t Resolved = 0x20;
constexpr uint32_t FoldedSymbolShift = 6;
constexpr uint16_t FoldedLengthMask = 0x1F;

void FoldLengths(const uint16_t* table, const uint8_t* lengths, uint16_t n, uint32_t size, uint16_t* folded) {
  for (uint32_t i = 0; i < size; ++i) {
    const uint16_t symbol = table[i];
    folded[i] = symbol < n ? static_cast<uint16_t>((symbol << FoldedSymbolShift) | Resolved | lengths[symbol]) : 0;
  }
}

// Reads the next block header with the WorkArea form of the reader, refreshes the folded tables and
// returns the block's symbol count: a block size of 0 governs 65,536 symbols, as the 16-bit count wraps.
uint32_t StartBlock(FoldedTables& folded) {
  WorkArea& w = *Work;
  ReadBlockHeader();
  FoldLengths(w.LitLenTable, w.LitLenLengths, LitLenSymbols, 1u << LitLenTableBits, folded.litLen);
  FoldLengths(w.PtTable, w.PtLengths, w.PositionCodes, 1u << PtTableBits, folded.position);
  return w.BlockLeft == 0 ? 65536u : w.BlockLeft;
}

// The symbol loop's helpers take the register form by reference and must be inlined, so that it
// stays in registers.

// Looks a symbol up through a folded table, falling back to the tree walk for long codes.
[[gnu::always_inline]] inline uint32_t DecodeSymbol(BitStream& in, const uint8_t* inputBuffer, const uint16_t* folded,
                                                    const uint16_t* table, const uint8_t* lengths, uint8_t tableBits,
                                                    uint16_t n) {
  EnsureBits(in, inputBuffer);
  const uint16_t entry = folded[in.bits >> (64 - tableBits)];
  if (entry & Resolved) [[likely]] {
    DropBits(in, entry & FoldedLengthMask);
    return entry >> FoldedSymbolShift;
  }
  const uint16_t symbol = LookupSymbol(table, tableBits, n, PeekBits(in));
  DropBits(in, lengths[symbol]);
  return symbol;
}

// The next literal/length symbol, after a new block header when the block is used up.
[[gnu::always_inline]] inline uint32_t DecodeLitLen(BitStream& in, uint32_t& blockLeft, FoldedTables& folded) {
  const WorkArea& w = *Work;
  if (blockLeft == 0) {
    StoreBitStream(in);
    blockLeft = StartBlock(folded);
    in = LoadBitStream();
  }
  --blockLeft;
  return DecodeSymbol(in, w.InputBuffer, folded.litLen, w.LitLenTable, w.LitLenLengths, LitLenTableBits,
                      LitLenSymbols);
}

// The position of a match: 0 or 1, or 2^(j-1) plus j-1 extra bits.
[[gnu::always_inline]] inline uint32_t DecodePosition(BitStream& in, const FoldedTables& folded) {
  const WorkArea& w = *Work;
  const uint32_t j = DecodeSymbol(in, w.InputBuffer, folded.position, w.PtTable, w.PtLengths, PtTableBits,
                                  w.PositionCodes);
  if (j <= 1) return j;
  return (1u << (j - 1)) + TakeBits(in, j - 1, w.InputBuffer);
}

void HandWindowToSink(uint32_t length, uint32_t done, uint32_t total) {
  WriteSink(Work->Window, length);
  if (IsOpenFile(Work->OutputFile)) ShowProgress(done, total);
}

// Copies a match of length bytes from window position from to fill, one byte after the other in effect,
// so a match nearer than its length repeats what it has just written. Returns the new fill.
uint32_t CopyMatch(uint32_t from, uint32_t length, uint32_t fill, uint32_t done, uint32_t total) {
  uint8_t* window = Work->Window;
  if (fill + length < WindowBytes && from + length <= WindowBytes) {
    // Neither side wraps and the window does not fill up inside the match.
    uint8_t* to = window + fill;
    const uint8_t* source = window + from;
    uint32_t distance = fill - from;
    if (from >= fill || distance >= length) {
      // No overlap, or the source lies ahead of the destination where a forward copy reads only
      // bytes it has not yet written: both are what memmove does.
      memmove(to, source, length);
    } else if (distance == 1) {
      memset(to, source[0], length);
    } else {
      uint32_t k = 0;
      if (distance >= 8) {
        for (; k + 8 <= length; k += 8) memcpy(to + k, source + k, 8);
      }
      for (; k < length; ++k) to[k] = source[k];
    }
    return fill + length;
  }
  for (uint32_t k = 0; k < length; ++k) {
    window[fill] = window[(from + k) & WindowMask];
    if (++fill == WindowBytes) {
      HandWindowToSink(WindowBytes, done, total);
      fill = 0;
    }
  }
  return fill;
}

}  // namespace

void DecodeEntry() {
  WorkArea& w = *Work;
  const uint8_t* header = w.HeaderBuffer;
  const uint32_t total = ReadU32(header + UncompressedSizeOffset);
  w.UncompressedSize = total;
  w.CompressedLeft = ReadU32(header + CompressedSizeOffset);
  w.RunningCrc = 0;
  w.WindowSize = WindowBytes;
  StartDecoder(header[MethodCharOffset]);

  uint8_t* window = w.Window;
  uint32_t done = 0;
  uint32_t fill = 0;
  FoldedTables folded;
  BitStream in = LoadBitStream();
  uint32_t blockLeft = 0;
  while (done < total) {
    uint32_t symbol = DecodeLitLen(in, blockLeft, folded);
    if (symbol < FirstMatchSymbol) {
      window[fill++] = static_cast<uint8_t>(symbol);
      if (fill == WindowBytes) {
        HandWindowToSink(WindowBytes, done + 1, total);
        fill = 0;
      }
      ++done;
      continue;
    }
    uint32_t length = symbol - MatchLengthBias;
    uint32_t from = (fill - DecodePosition(in, folded) - 1) & WindowMask;
    // A match that would run past the entry's size is cut there, so the output is never longer
    // than the header says.
    if (length > total - done) length = total - done;
    done += length;
    fill = CopyMatch(from, length, fill, done, total);
  }
  if (fill != 0) {
    // The count shown is done + fill (past the total, so 100%), saturated for entries near 4 GiB.
    uint32_t shown = done + fill < done ? UINT32_MAX : done + fill;
    HandWindowToSink(fill, shown, total);
  }
  StoreBitStream(in);
  w.BlockLeft = static_cast<uint16_t>(blockLeft);
  w.BytesDone = done;
  w.WindowFill = fill;
}
