// The archive's on-disk format, declared once for the stub and the builder: the settings block,
// the level-2 entry header, method ids, extended-header types and crc16.
#pragma once
#include <cstdint>

// ---- the settings block the builder writes into the stub's file ----
inline constexpr uint32_t SettingsBlockOffset = 512;
inline constexpr uint32_t SettingsBlockSize = 603;
inline constexpr const char* DefaultTitle = "Tarnwick V2.14.w32.0005";

#pragma pack(push, 1)
struct SettingsBlock {
  int32_t ArchiveOffset;       // little-endian on every target we build for
  char TitleField[41];
  char InstallTitleField[41];
  char InstallDir[256];
  char Command[256];
  uint8_t Reserved[3];
  uint8_t SettingsFlags;
  uint8_t RestoreAttributes;
};
#pragma pack(pop)
static_assert(sizeof(SettingsBlock) == SettingsBlockSize);

inline constexpr uint8_t FlagAutoStart = 0x01;
inline constexpr uint8_t FlagOverwriteWithoutAsking = 0x02;
inline constexpr uint8_t FlagCheckWord = 0x04;
inline constexpr uint8_t FlagNoSkipNotOlder = 0x08;

// ---- level-2 entry header: offsets from the header's first byte ----
inline constexpr uint32_t HeaderSizeOffset = 0;
inline constexpr uint32_t MethodIdOffset = 2;       // "-lh?-", 5 bytes
inline constexpr uint32_t MethodCharOffset = 5;
inline constexpr uint32_t CompressedSizeOffset = 7;
inline constexpr uint32_t UncompressedSizeOffset = 11;
inline constexpr uint32_t TimeStampOffset = 15;
inline constexpr uint32_t AttributesOffset = 19;
inline constexpr uint32_t HeaderLevelOffset = 20;
inline constexpr uint32_t DataCrcOffset = 21;
inline constexpr uint32_t OsIdOffset = 23;
inline constexpr uint32_t FirstExtendedSizeOffset = 24;
inline constexpr uint32_t FixedHeaderSize = 26;

// Method characters the stub accepts, in "-lh?-".
inline constexpr const char MethodChars[] = "04567d";
inline constexpr char MethodStored = '0';
inline constexpr char MethodDirectory = 'd';

// Extended headers: the size field counts the type byte, the data and the next size field.
inline constexpr uint32_t ExtendedOverhead = 3;
inline constexpr uint8_t ExtHeaderCrc = 0x00;
inline constexpr uint8_t ExtFileName = 0x01;
inline constexpr uint8_t ExtDirName = 0x02;
inline constexpr uint8_t ExtAttributes = 0x40;
inline constexpr uint8_t ExtWindowsTimes = 0x41;
inline constexpr uint32_t WindowsTimesDataSize = 24;
inline constexpr uint8_t DirSeparatorByte = 0xFF;

// OS ids whose 0x40 and 0x41 extended headers count.
inline bool HasWindowsExtensions(uint8_t osId) { return osId == 'M' || osId == 'W' || osId == 'w'; }

inline uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t ReadU64(const uint8_t* p) { return ReadU32(p) | (static_cast<uint64_t>(ReadU32(p + 4)) << 32); }
inline void WriteU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteU32(uint8_t* p, uint32_t v) {
  WriteU16(p, static_cast<uint16_t>(v));
  WriteU16(p + 2, static_cast<uint16_t>(v >> 16));
}
