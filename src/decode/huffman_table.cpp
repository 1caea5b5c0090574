// Builds canonical Huffman decoding tables and walks their overflow trees.
#include "decode/huffman_table.h"

#include "startup/errors.h"
#include "startup/work_area.h"

namespace {
constexpr uint32_t MaxCodeLength = 16;
constexpr uint32_t FullCodeSpace = 1u << MaxCodeLength;
}  // namespace

void RefuseBadTable() {
  ShowError(MsgBadTable, Work->ModulePath);
  FatalAbort(1);
}

// Codes are handed out by increasing length, and by increasing symbol within a length, as 16-bit
// left-justified values. The sums are kept in 32 bits: a set is accepted only when its weights
// 2^(16 - length) add up to exactly 2^16 (a complete code), which keeps every table index below 2^B
// and, since a complete code of n symbols has n - 1 inner nodes, every node number below 2n - 1.
void BuildDecodeTable(uint16_t n, const uint8_t* lengths, uint8_t tableBits, uint16_t* table) {
  uint32_t count[MaxCodeLength + 1] = {};
  for (uint32_t symbol = 0; symbol < n; ++symbol) {
    if (lengths[symbol] > MaxCodeLength) RefuseBadTable();
    ++count[lengths[symbol]];
  }
  uint32_t start[MaxCodeLength + 2];
  start[1] = 0;
  for (uint32_t length = 1; length <= MaxCodeLength; ++length)
    start[length + 1] = start[length] + (count[length] << (MaxCodeLength - length));
  if (start[MaxCodeLength + 1] == 0) return;
  if (start[MaxCodeLength + 1] != FullCodeSpace) RefuseBadTable();

  const uint32_t jut = MaxCodeLength - tableBits;
  uint32_t weight[MaxCodeLength + 1];
  for (uint32_t length = 1; length <= MaxCodeLength; ++length) {
    if (length <= tableBits) {
      start[length] >>= jut;
      weight[length] = 1u << (tableBits - length);
    } else {
      weight[length] = 1u << (MaxCodeLength - length);
    }
  }
  // Entries past the short codes are the roots of the trees; clear them so fresh nodes get made.
  const uint32_t tableSize = 1u << tableBits;
  for (uint32_t i = start[tableBits + 1] >> jut; i < tableSize; ++i) table[i] = 0;

  WorkArea& w = *Work;
  uint16_t avail = n;
  const uint32_t firstMask = 1u << (15 - tableBits);
  for (uint16_t symbol = 0; symbol < n; ++symbol) {
    uint32_t length = lengths[symbol];
    if (length == 0) continue;
    uint32_t next = start[length] + weight[length];
    if (length <= tableBits) {
      for (uint32_t i = start[length]; i < next; ++i) table[i] = symbol;
    } else {
      uint32_t code = start[length];
      uint16_t* slot = &table[code >> jut];
      for (uint32_t step = length - tableBits; step > 0; --step) {
        if (*slot == 0) {
          w.TreeLeft[avail] = 0;
          w.TreeRight[avail] = 0;
          *slot = avail++;
        }
        slot = (code & firstMask) ? &w.TreeRight[*slot] : &w.TreeLeft[*slot];
        code <<= 1;
      }
      *slot = symbol;
    }
    start[length] = next;
  }
}

uint16_t WalkDecodeTree(uint16_t node, uint8_t tableBits, uint16_t n, uint16_t peek) {
  const WorkArea& w = *Work;
  uint32_t mask = 1u << (15 - tableBits);
  // A complete code resolves within 16 - B steps; a stale or hand-filled table may not, and may hold
  // values that are no node at all.
  for (uint32_t step = MaxCodeLength - tableBits; step > 0; --step) {
    if (node >= TreeNodes) break;
    node = (peek & mask) ? w.TreeRight[node] : w.TreeLeft[node];
    if (node < n) return node;
    mask >>= 1;
  }
  RefuseBadTable();
}
