// CRC-16/ARC through a 256-entry table.
#include "archive/crc16.h"

void BuildCrcTable(uint16_t table[256]) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint16_t value = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? static_cast<uint16_t>((value >> 1) ^ CrcPolynomial) : static_cast<uint16_t>(value >> 1);
    table[i] = value;
  }
}

uint16_t UpdateCrc(const uint16_t table[256], uint16_t crc, const uint8_t* data, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) crc = static_cast<uint16_t>(table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}
