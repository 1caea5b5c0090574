// Canonical Huffman decoding tables: a 2^B-entry table with small trees below it for codes longer than B bits.
#pragma once
#include <cstdint>

// TreeLeft/TreeRight hold 2 x 510 - 1 nodes: enough for the overflow trees of any complete code of
// up to 510 symbols, whose node numbers start at the alphabet size.
inline constexpr uint16_t TreeNodes = 1019;

// Fills table (2^tableBits entries) from the code lengths of symbols 0..n-1, making tree nodes from n
// up in TreeLeft/TreeRight for codes longer than tableBits. An all-zero set changes nothing. Any other
// set must be complete with lengths of at most 16; else "Bad table" ends the process.
void BuildDecodeTable(uint16_t n, const uint8_t* lengths, uint8_t tableBits, uint16_t* table);

// "Bad table" with the archive's path, then the process ends with status 1.
[[noreturn]] void RefuseBadTable();

// Follows the tree below a table entry that holds a node (n or above) through the bits of peek below
// the table index; at most 16 - tableBits steps, else "Bad table".
uint16_t WalkDecodeTree(uint16_t node, uint8_t tableBits, uint16_t n, uint16_t peek);

// The symbol whose code begins the 16 bits of peek; the caller then drops that symbol's length.
inline uint16_t LookupSymbol(const uint16_t* table, uint8_t tableBits, uint16_t n, uint16_t peek) {
  uint16_t symbol = table[peek >> (16 - tableBits)];
  return symbol < n ? symbol : WalkDecodeTree(symbol, tableBits, n, peek);
}
