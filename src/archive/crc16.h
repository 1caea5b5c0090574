// CRC-16/ARC (reflected polynomial 0xA001, initial 0, no final inversion) through a 256-entry table.
#pragma once
#include <cstdint>

inline constexpr uint16_t CrcPolynomial = 0xA001;

void BuildCrcTable(uint16_t table[256]);
// Runs the crc over length bytes, one table step a byte, starting from crc; returns the new value.
uint16_t UpdateCrc(const uint16_t table[256], uint16_t crc, const uint8_t* data, uint32_t length);
// The same value as UpdateCrc, eight bytes a step through tables made at compile time: the output's hot path.
uint16_t UpdateCrcWide(uint16_t crc, const uint8_t* data, uint32_t length);
