// The bit reader over an entry's compressed bytes: the WorkArea form and the register form of the decoder loop.
#include "decode/bit_reader.h"

#include "archive/walk.h"
#include "startup/errors.h"
#include "startup/work_area.h"

namespace {

// Refills InputBuffer with the smaller of wanted and its size, never more than the entry has left,
// so the file stops exactly at the entry's end and the next header follows without a seek.
bool RefillInputBuffer(FileHandle file, uint32_t wanted) {
  WorkArea& w = *Work;
  uint32_t size = wanted < InputBufferSize ? wanted : InputBufferSize;
  if (ReadFile(file, w.InputBuffer, size) != static_cast<int32_t>(size)) return false;
  w.InputPos = 0;
  return true;
}

}  // namespace

void AbortOnReadError() {
  ReportReadError();
  FatalAbort(1);
}

int32_t ReadInputByte(FileHandle file, uint32_t wanted) {
  WorkArea& w = *Work;
  if (w.InputPos >= InputBufferSize) {
    if (!RefillInputBuffer(file, wanted)) return -1;
  }
  return w.InputBuffer[w.InputPos++];
}

void FillBits(uint8_t n) {
  WorkArea& w = *Work;
  // Every shift below is by at most 8 bits; the loop moves one byte at a time, so any n works.
  while (n > w.BitCount) {
    n = static_cast<uint8_t>(n - w.BitCount);
    w.BitBuf = static_cast<uint16_t>((w.BitBuf << w.BitCount) | (w.SubBitBuf >> (8 - w.BitCount)));
    if (w.CompressedLeft != 0) {
      --w.CompressedLeft;
      int32_t byte = ReadInputByte(w.ArchiveFile, w.CompressedLeft + 1);
      if (byte < 0) AbortOnReadError();
      w.SubBitBuf = static_cast<uint8_t>(byte);
    } else {
      w.SubBitBuf = 0;
    }
    w.BitCount = 8;
  }
  w.BitCount = static_cast<uint8_t>(w.BitCount - n);
  w.BitBuf = static_cast<uint16_t>((w.BitBuf << n) | (w.SubBitBuf >> (8 - n)));
  w.SubBitBuf = static_cast<uint8_t>(w.SubBitBuf << n);
}

uint16_t GetBits(uint8_t n) {
  uint16_t value = n == 0 ? 0 : static_cast<uint16_t>(Work->BitBuf >> (16 - n));
  FillBits(n);
  return value;
}

BitStream LoadBitStream() {
  const WorkArea& w = *Work;
  BitStream in;
  in.bits = (static_cast<uint64_t>(w.BitBuf) << 48) | (static_cast<uint64_t>(w.SubBitBuf) << 40);
  in.count = 16 + w.BitCount;
  in.next = w.InputPos;
  uint32_t inBuffer = in.next < InputBufferSize ? InputBufferSize - in.next : 0;
  if (inBuffer > w.CompressedLeft) inBuffer = w.CompressedLeft;
  in.end = in.next + inBuffer;
  in.beyond = w.CompressedLeft - inBuffer;
  return in;
}

// FillBits tops BitBuf up at once, and then keeps 16 + BitCount bits (BitCount 0..7); the bits held
// beyond that, in whole bytes, are what the register form took early, and go back to InputBuffer.
// When the entry's bytes are used up the count may stay below 16; the bits FillBits holds are zeros.
void StoreBitStream(BitStream in) {
  WorkArea& w = *Work;
  EnsureBits(in, w.InputBuffer);
  uint32_t early = in.count >= 16 ? static_cast<uint32_t>(in.count - 16) >> 3 : 0;
  in.next -= early;
  in.count -= static_cast<int32_t>(early * 8);
  uint8_t bitCount = static_cast<uint8_t>(in.count & 7);
  w.BitBuf = static_cast<uint16_t>(in.bits >> 48);
  w.SubBitBuf = static_cast<uint8_t>((in.bits >> 40) & (0xFF00u >> bitCount));
  w.BitCount = bitCount;
  w.InputPos = in.next;
  w.CompressedLeft = in.beyond + (in.end - in.next);
}

BitStream RefillBitStream(BitStream in) {
  const uint8_t* buffer = Work->InputBuffer;
  for (;;) {
    if (in.end - in.next >= 8) {
      if (in.count <= 56) TakeEightBytes(in, buffer);
      return in;
    }
    while (in.next != in.end && in.count <= 56) {
      in.bits |= static_cast<uint64_t>(buffer[in.next]) << (56 - in.count);
      ++in.next;
      in.count += 8;
    }
    if (in.count >= 16) return in;
    if (in.next == in.end && in.beyond == 0) {
      // Past the entry's end the stream reads as zeros; keep the count bounded and its value mod 8.
      if (in.count < 0) in.count = (in.count & 7) - 8;
      return in;
    }
    if (!RefillInputBuffer(Work->ArchiveFile, in.beyond)) AbortOnReadError();
    const uint32_t size = in.beyond < InputBufferSize ? in.beyond : InputBufferSize;
    in.next = 0;
    in.end = size;
    in.beyond -= size;
  }
}
