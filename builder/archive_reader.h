// Walks the level-2 headers of an archive held in memory, checking each one: for appending existing archives.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lzh_writer.h"

struct ParsedEntry {
  size_t Offset = 0;          // of the header's first byte
  uint16_t HeaderSize = 0;
  std::string MethodId;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint32_t TimeStamp = 0;
  uint8_t Attributes = 0;
  uint8_t OsId = 0;
  uint16_t DataCrc = 0;
  uint16_t StoredHeaderCrc = 0;
  std::string DirName;        // as stored, separators included
  std::string FileName;
  std::vector<RawExtendedHeader> Extensions;  // every extended header, in chain order
};

// Reads every header from start to the end marker (a zero header size, or the end of the data where a size field
// would begin). Throws std::runtime_error naming the entry's offset when a header is cut short, has an unknown
// method, a broken extended-header chain, no header CRC or a wrong one, or data that runs past the end.
std::vector<ParsedEntry> ReadArchiveHeaders(const Bytes& archive, size_t start = 0);

uint16_t CheckWordOf(const std::vector<ParsedEntry>& entries);
