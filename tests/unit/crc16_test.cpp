// crc16: the published check value, and the wide form agreeing with the table form at every length and start.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "archive/crc16.h"

TEST(Crc16, CheckValueAndWideFormAgree) {
  uint16_t table[256];
  BuildCrcTable(table);
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(UpdateCrc(table, 0, check, 9), 0xBB3D);
  EXPECT_EQ(UpdateCrcWide(0, check, 9), 0xBB3D);

  std::mt19937 random(7);
  std::vector<uint8_t> data(1000);
  for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
  for (uint32_t length = 0; length <= 40; ++length)
    for (uint16_t start : {0x0000, 0x1234, 0xFFFF})
      EXPECT_EQ(UpdateCrcWide(start, data.data() + 3, length), UpdateCrc(table, start, data.data() + 3, length))
          << length << " from " << start;
  EXPECT_EQ(UpdateCrcWide(0, data.data(), 1000), UpdateCrc(table, 0, data.data(), 1000));
}
