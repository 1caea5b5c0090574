// CRC-16/ARC through a 256-entry table, and eight bytes at a time for bulk data.
#include "archive/crc16.h"

namespace {

constexpr uint16_t TableEntry(uint32_t index) {
  uint16_t value = static_cast<uint16_t>(index);
  for (int bit = 0; bit < 8; ++bit)
    value = (value & 1) ? static_cast<uint16_t>((value >> 1) ^ CrcPolynomial) : static_cast<uint16_t>(value >> 1);
  return value;
}

constexpr uint32_t SliceCount = 8;

// Slice k maps a byte to its crc contribution when k more zero bytes follow it, so eight bytes fold in one step.
struct CrcSlices {
  uint16_t entries[SliceCount][256];
  constexpr CrcSlices() : entries() {
    for (uint32_t i = 0; i < 256; ++i) entries[0][i] = TableEntry(i);
    for (uint32_t k = 1; k < SliceCount; ++k)
      for (uint32_t i = 0; i < 256; ++i) {
        const uint16_t previous = entries[k - 1][i];
        entries[k][i] = static_cast<uint16_t>(entries[0][previous & 0xFF] ^ (previous >> 8));
      }
  }
};

constexpr CrcSlices Slices;

}  // namespace

void BuildCrcTable(uint16_t table[256]) {
  for (uint32_t i = 0; i < 256; ++i) table[i] = TableEntry(i);
}

uint16_t UpdateCrc(const uint16_t table[256], uint16_t crc, const uint8_t* data, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) crc = static_cast<uint16_t>(table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

uint16_t UpdateCrcWide(uint16_t crc, const uint8_t* data, uint32_t length) {
  const auto& s = Slices.entries;
  uint32_t i = 0;
  for (; i + SliceCount <= length; i += SliceCount) {
    const uint8_t* p = data + i;
    crc = static_cast<uint16_t>(s[7][(crc ^ p[0]) & 0xFF] ^ s[6][((crc >> 8) ^ p[1]) & 0xFF] ^ s[5][p[2]] ^
                                s[4][p[3]] ^ s[3][p[4]] ^ s[2][p[5]] ^ s[1][p[6]] ^ s[0][p[7]]);
  }
  return UpdateCrc(s[0], crc, data + i, length - i);
}
