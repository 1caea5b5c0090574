// Encodes level-2 LZH entries and archives; every header field can be overridden to craft broken fixtures.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The three FILETIME values of the 0x41 extended header, in header order.
struct WindowsFileTimes {
  uint64_t Creation = 0;
  uint64_t LastWrite = 0;
  uint64_t LastAccess = 0;
};

struct RawExtendedHeader {
  uint8_t Type = 0;
  Bytes Data;
};

// One entry as it will be encoded. The defaults make a sound stored file entry; the knobs at the end break it.
struct LzhEntry {
  std::string MethodId = "-lh0-";           // exactly 5 bytes, written as they are
  std::optional<std::string> DirName;       // 0x02 header: components joined by 0xFF, ending with 0xFF
  std::optional<std::string> FileName;      // 0x01 header
  Bytes Data;                               // the uncompressed data: gives the data CRC and uncompressed size
  std::optional<Bytes> PackedData;          // written in place of Data; the compressed size is its size
  uint32_t TimeStamp = 0;                   // UnixSeconds
  uint8_t Attributes = 0x20;
  uint8_t HeaderLevel = 2;
  uint8_t OsId = 'W';
  std::optional<uint16_t> AttributesExtension;   // 0x40 header
  std::optional<WindowsFileTimes> WindowsTimes;  // 0x41 header
  std::vector<RawExtendedHeader> ExtraHeaders;   // appended to the chain after the standard ones

  bool OmitHeaderCrc = false;       // leave out the 0x00 header
  bool CorruptHeaderCrc = false;    // store the complement of the right header CRC
  std::optional<uint16_t> ForcedHeaderSize;
  std::optional<uint32_t> ForcedCompressedSize;
  std::optional<uint32_t> ForcedUncompressedSize;
  std::optional<uint16_t> ForcedDataCrc;
};

struct LzhArchiveOptions {
  bool CheckWord = false;               // begin with the XOR of all entries' data-CRC fields
  bool EndMarker = true;                // end with one zero byte
  std::optional<size_t> TruncateTo;     // cut the encoded archive to this many bytes
};

// Unix seconds (and a sub-second part in 100 ns units) to a FILETIME.
uint64_t UnixToFileTime(int64_t unixSeconds, uint32_t hundredNanoseconds = 0);

uint16_t Crc16(const uint8_t* data, size_t length);
inline uint16_t Crc16(const Bytes& data) { return Crc16(data.data(), data.size()); }

// The value written into the entry's data-CRC field.
uint16_t EntryDataCrc(const LzhEntry& entry);
// Throws std::invalid_argument when a field cannot be encoded (method id not 5 bytes, header over 65,535 bytes,
// an extended header over 65,535 bytes).
Bytes EncodeHeader(const LzhEntry& entry);
// The header followed by the entry's (packed) data.
Bytes EncodeEntry(const LzhEntry& entry);
uint16_t ArchiveCheckWord(const std::vector<LzhEntry>& entries);
Bytes EncodeArchive(const std::vector<LzhEntry>& entries, const LzhArchiveOptions& options = {});

// A sound entry of each kind, with 0x40 and 0x41 headers matching the header's time stamp and attributes.
LzhEntry MakeFileEntry(const std::string& dirName, const std::string& fileName, const Bytes& data,
                       uint32_t timeStamp = 0, uint8_t attributes = 0x20);
LzhEntry MakeDirectoryEntry(const std::string& dirName, uint32_t timeStamp = 0, uint8_t attributes = 0x10);
