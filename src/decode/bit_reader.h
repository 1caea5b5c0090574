// Serves one entry's compressed bytes from the archive file as a stream of bits, most significant bit first.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// Fetches the next compressed byte; wanted counts the entry's bytes not yet taken, this one included.
// Returns the byte, or -1 when a refill from the file fails.
int32_t ReadInputByte(FileHandle file, uint32_t wanted);
// Drops the top n bits of BitBuf and shifts the next n bits of the stream into its low end; any n.
void FillBits(uint8_t n);
// Returns the top n (0..16) bits of BitBuf, then consumes them.
uint16_t GetBits(uint8_t n);
// A failed or short read of the archive while decoding: "Read ERROR", then the process ends with status 1.
[[noreturn]] void AbortOnReadError();

// The same reader held in registers for the decoder's symbol loop. LoadBitStream takes over the
// WorkArea's reader state and StoreBitStream gives it back exactly as FillBits would have left it after
// the same bits, so the two forms can take turns; in between the WorkArea's reader fields are stale.
// It is passed by value, so that the compiler can keep it in registers.
//
// The register form takes bytes from InputBuffer ahead of need, as many as fit, but asks the file for
// the next 16,384 bytes only when fewer than 16 bits are left, which is when FillBits would ask. Store
// hands back the bytes taken beyond the 16 + BitCount bits that FillBits keeps.
struct BitStream {
  uint64_t bits;      // next bit at bit 63; below the valid bits: zeros, or copies of the bytes that follow
  int32_t count;      // valid bits; EnsureBits makes it 16 or more unless the entry is used up (then zeros follow)
  uint32_t next;      // InputPos
  uint32_t end;       // InputBuffer's end of the entry's bytes; equal to next when none are left there
  uint32_t beyond;    // the entry's bytes not yet read into InputBuffer (CompressedLeft = beyond + end - next)
};

BitStream LoadBitStream();
void StoreBitStream(BitStream in);
// Tops the register up from InputBuffer and, when fewer than 16 bits are left, from the file.
BitStream RefillBitStream(BitStream in);

inline uint64_t ReadBigEndian64(const uint8_t* p) {
  return (static_cast<uint64_t>(p[0]) << 56) | (static_cast<uint64_t>(p[1]) << 48) |
         (static_cast<uint64_t>(p[2]) << 40) | (static_cast<uint64_t>(p[3]) << 32) |
         (static_cast<uint64_t>(p[4]) << 24) | (static_cast<uint64_t>(p[5]) << 16) |
         (static_cast<uint64_t>(p[6]) << 8) | static_cast<uint64_t>(p[7]);
}

// Tops the register up with whole bytes from eight readable bytes of InputBuffer. The bits below the
// bytes taken are copies of the bytes that follow, so a later load ORs the same values over them.
inline void TakeEightBytes(BitStream& in, const uint8_t* buffer) {
  in.bits |= ReadBigEndian64(buffer + in.next) >> in.count;
  const uint32_t taken = static_cast<uint32_t>(64 - in.count) >> 3;
  in.next += taken;
  in.count += static_cast<int32_t>(taken * 8);
}

// At least 16 valid bits afterwards, unless the entry's bytes are used up (then zeros follow).
inline void EnsureBits(BitStream& in, const uint8_t* inputBuffer) {
  if (in.count >= 16) [[likely]]
    return;
  if (in.end - in.next >= 8) {
    TakeEightBytes(in, inputBuffer);
  } else {
    in = RefillBitStream(in);
  }
}
// The next 16 bits of the stream; call EnsureBits first.
inline uint16_t PeekBits(const BitStream& in) { return static_cast<uint16_t>(in.bits >> 48); }
// Drops n (0..16) bits; call EnsureBits first.
inline void DropBits(BitStream& in, uint32_t n) {
  in.bits <<= n;
  in.count -= static_cast<int32_t>(n);
}
// Returns and drops the next n (1..16) bits; calls EnsureBits itself.
inline uint32_t TakeBits(BitStream& in, uint32_t n, const uint8_t* inputBuffer) {
  EnsureBits(in, inputBuffer);
  uint32_t value = static_cast<uint32_t>(in.bits >> (64 - n));
  DropBits(in, n);
  return value;
}
