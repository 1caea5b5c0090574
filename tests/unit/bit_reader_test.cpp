// The bit reader: refills bounded by the entry, zeros past its end, shifts of any width, read failures,
// and the register form handing back exactly the state the WorkArea form would have.
#include "decode/bit_reader.h"

#include <cstdio>
#include <cstdlib>

#include "test_support.h"

namespace {

class BitReaderTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    UseAsModule((Folder / "setup.exe").string());
  }

  // Opens a file of data followed by a trailer that belongs to the next header, as the entry's data.
  void OpenEntry(const Bytes& data, uint32_t compressedSize) {
    Bytes file = data;
    for (uint8_t b : {'N', 'E', 'X', 'T'}) file.push_back(b);
    Work->ArchiveFile = OpenFileForReading(WriteFile("entry.bin", file).c_str());
    ASSERT_TRUE(IsOpenFile(Work->ArchiveFile));
    Work->CompressedLeft = compressedSize;
    Work->InputPos = 0xFFFFFFFF;
  }

  void StartReading() {
    Work->BitBuf = 0;
    Work->SubBitBuf = 0;
    Work->BitCount = 0;
    FillBits(16);
  }

  int32_t FilePosition() const { return SeekFile(Work->ArchiveFile, 0, SeekOrigin::Current); }
};

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  uint32_t state = 12345;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

// Bit i of the stream, most significant bit of each byte first; zeros past the end.
uint32_t StreamBit(const Bytes& data, uint64_t i) {
  return i / 8 < data.size() ? (data[i / 8] >> (7 - i % 8)) & 1 : 0;
}

uint16_t StreamBits16(const Bytes& data, uint64_t at) {
  uint16_t value = 0;
  for (uint64_t i = 0; i < 16; ++i) value = static_cast<uint16_t>((value << 1) | StreamBit(data, at + i));
  return value;
}

TEST_F(BitReaderTest, StartLoadsTheFirstTwoBytesAndTreats0xFFAsData) {
  OpenEntry({0xFF, 0xAB, 0x12, 0x34}, 4);
  StartReading();
  EXPECT_EQ(Work->BitBuf, 0xFFAB);
  EXPECT_EQ(Work->BitCount, 0);
  EXPECT_EQ(Work->SubBitBuf, 0);
  EXPECT_EQ(FilePosition(), 4);
  EXPECT_EQ(GetBits(4), 0xF);
  EXPECT_EQ(Work->BitBuf, 0xFAB1);
}

TEST_F(BitReaderTest, EmptyAndOneByteEntriesReadNoFurtherThanTheirData) {
  OpenEntry({0x5C}, 0);
  StartReading();
  EXPECT_EQ(Work->BitBuf, 0);
  EXPECT_EQ(FilePosition(), 0);
  FillBits(40);
  EXPECT_EQ(Work->BitBuf, 0);
  EXPECT_EQ(FilePosition(), 0);

  OpenEntry({0x5C}, 1);
  StartReading();
  EXPECT_EQ(Work->BitBuf, 0x5C00);
  EXPECT_EQ(FilePosition(), 1);
  FillBits(30);
  EXPECT_EQ(Work->BitBuf, 0);
  EXPECT_EQ(Work->CompressedLeft, 0u);
  EXPECT_EQ(FilePosition(), 1);
}

TEST_F(BitReaderTest, RefillsAskForAtMost16384BytesAndNeverPastTheEntry) {
  for (uint32_t size : {16384u, 16385u, 40000u}) {
    const Bytes data = Pattern(size);
    OpenEntry(data, size);
    StartReading();
    EXPECT_EQ(FilePosition(), static_cast<int32_t>(size < 16384 ? size : 16384)) << size;
    uint64_t at = 0;
    for (; at + 16 <= uint64_t{size} * 8 + 24; at += 8) {
      ASSERT_EQ(Work->BitBuf, StreamBits16(data, at)) << size << " at bit " << at;
      // The byte at 16,384 k comes in with the k-th refill, exactly when BitBuf needs it.
      const uint64_t fetched = std::min<uint64_t>(size, (at + 16 + 7) / 8);
      const uint64_t refills = (fetched + 16383) / 16384;
      ASSERT_EQ(FilePosition(), static_cast<int32_t>(std::min<uint64_t>(size, refills * 16384))) << size << " at " << at;
      FillBits(8);
    }
    EXPECT_EQ(Work->CompressedLeft, 0u);
    EXPECT_EQ(FilePosition(), static_cast<int32_t>(size));
  }
}

TEST_F(BitReaderTest, ZeroWidthsChangeNothingAndWideShiftsActAsAShiftRegister) {
  const Bytes data = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  OpenEntry(data, 6);
  StartReading();
  EXPECT_EQ(GetBits(0), 0);
  FillBits(0);
  EXPECT_EQ(Work->BitBuf, 0x1234);
  EXPECT_EQ(Work->BitCount, 0);
  FillBits(3);
  FillBits(17);
  EXPECT_EQ(Work->BitBuf, StreamBits16(data, 20));
  EXPECT_EQ(GetBits(16), StreamBits16(data, 20));
  EXPECT_EQ(Work->BitBuf, StreamBits16(data, 36));
}

TEST_F(BitReaderTest, AFileThatEndsInsideTheEntryIsAReadError) {
  OpenEntry(Pattern(100), 20000);
  EXPECT_EXIT(
      {
        PrintMessagesAtExit();
        StartReading();
      },
      ::testing::ExitedWithCode(1), "setup.exe\" Read ERROR");
}

// The register form, with hand-overs at odd places, must leave the reader and the file where
// FillBits leaves them after the same bits, past the 16,384-byte refills and past the entry's end.
TEST_F(BitReaderTest, RegisterFormHandsBackTheWorkAreaState) {
  for (uint32_t size : {0u, 1u, 7u, 16384u, 16390u, 40000u}) {
    const Bytes data = Pattern(size);
    OpenEntry(data, size);
    StartReading();
    WorkArea& reference = *Work;
    auto fast = std::make_unique<WorkArea>();
    fast->ArchiveFile = OpenFileForReading((Folder / "entry.bin").string().c_str());
    fast->CompressedLeft = size;
    fast->InputPos = 0xFFFFFFFF;
    struct RestoreWork {
      WorkArea* area;
      ~RestoreWork() { Work = area; }
    } restore{&reference};
    Work = fast.get();
    StartReading();
    BitStream in = LoadBitStream();

    uint32_t step = 0;
    for (uint64_t consumed = 0; consumed < uint64_t{size} * 8 + 400; ++step) {
      const uint32_t width = (step * 7 + size) % 17;
      EnsureBits(in, fast->InputBuffer);
      ASSERT_EQ(PeekBits(in), StreamBits16(data, consumed)) << size << " step " << step;
      DropBits(in, width);
      Work = &reference;
      FillBits(static_cast<uint8_t>(width));
      Work = fast.get();
      consumed += width;
      if (step % 29 == 0 || consumed >= uint64_t{size} * 8) {
        StoreBitStream(in);
        ASSERT_EQ(fast->BitBuf, reference.BitBuf) << size << " step " << step;
        ASSERT_EQ(fast->SubBitBuf, reference.SubBitBuf) << size << " step " << step;
        ASSERT_EQ(fast->BitCount, reference.BitCount) << size << " step " << step;
        ASSERT_EQ(fast->CompressedLeft, reference.CompressedLeft) << size << " step " << step;
        ASSERT_EQ(fast->InputPos, reference.InputPos) << size << " step " << step;
        ASSERT_EQ(SeekFile(fast->ArchiveFile, 0, SeekOrigin::Current), SeekFile(reference.ArchiveFile, 0, SeekOrigin::Current));
        in = LoadBitStream();
      }
    }
    CloseReadFile(fast->ArchiveFile);
    Work = &reference;
    CloseReadFile(Work->ArchiveFile);
  }
}

}  // namespace
