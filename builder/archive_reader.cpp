// Walks the level-2 headers of an archive held in memory, checking each one: for appending existing archives.
#include "archive_reader.h"

#include <cstring>
#include <stdexcept>

#include "archive/format.h"

namespace {

[[noreturn]] void Fail(size_t offset, const std::string& problem) {
  throw std::runtime_error("entry header at offset " + std::to_string(offset) + ": " + problem);
}

bool KnownMethod(const uint8_t* id) {
  return std::memcmp(id, "-lh", 3) == 0 && id[4] == '-' && id[3] != 0 && std::strchr(MethodChars, id[3]) != nullptr;
}

// Interprets the extended-header chain of one header; returns where the header CRC's two bytes sit (0 = none).
size_t ReadExtensions(const uint8_t* header, size_t headerSize, size_t offset, ParsedEntry& entry) {
  size_t crcPlace = 0;
  size_t sizeField = FirstExtendedSizeOffset;
  for (;;) {
    const uint16_t size = ReadU16(header + sizeField);
    if (size == 0) return crcPlace;
    if (size < ExtendedOverhead) Fail(offset, "extended header smaller than 3 bytes");
    if (sizeField + 2 + size > headerSize) Fail(offset, "extended header runs past the header's end");
    const uint8_t type = header[sizeField + 2];
    const uint8_t* data = header + sizeField + 3;
    const size_t dataSize = size - ExtendedOverhead;
    entry.Extensions.push_back({type, Bytes(data, data + dataSize)});
    if (type == ExtHeaderCrc) {
      if (dataSize < 2) Fail(offset, "header-CRC extended header too short");
      crcPlace = sizeField + 3;
      entry.StoredHeaderCrc = ReadU16(data);
    } else if (type == ExtFileName) {
      entry.FileName.assign(reinterpret_cast<const char*>(data), dataSize);
    } else if (type == ExtDirName) {
      entry.DirName.assign(reinterpret_cast<const char*>(data), dataSize);
    }
    sizeField += 2 + dataSize + 1;
  }
}

}  // namespace

std::vector<ParsedEntry> ReadArchiveHeaders(const Bytes& archive, size_t start) {
  std::vector<ParsedEntry> entries;
  size_t position = start;
  while (position + 2 <= archive.size()) {
    const uint16_t headerSize = ReadU16(&archive[position]);
    if (headerSize == 0) break;
    if (headerSize < FixedHeaderSize) Fail(position, "header size below the fixed part");
    if (headerSize > archive.size() - position) Fail(position, "header cut short by the end of the archive");
    Bytes header(archive.begin() + static_cast<std::ptrdiff_t>(position),
                 archive.begin() + static_cast<std::ptrdiff_t>(position + headerSize));
    if (!KnownMethod(&header[MethodIdOffset])) Fail(position, "unknown method id");

    ParsedEntry entry;
    entry.Offset = position;
    entry.HeaderSize = headerSize;
    entry.MethodId.assign(reinterpret_cast<const char*>(&header[MethodIdOffset]), 5);
    entry.CompressedSize = ReadU32(&header[CompressedSizeOffset]);
    entry.UncompressedSize = ReadU32(&header[UncompressedSizeOffset]);
    entry.TimeStamp = ReadU32(&header[TimeStampOffset]);
    entry.Attributes = header[AttributesOffset];
    entry.OsId = header[OsIdOffset];
    entry.DataCrc = ReadU16(&header[DataCrcOffset]);

    const size_t crcPlace = ReadExtensions(header.data(), headerSize, position, entry);
    if (crcPlace == 0) Fail(position, "no header-CRC extended header");
    WriteU16(&header[crcPlace], 0);
    if (Crc16(header) != entry.StoredHeaderCrc) Fail(position, "header CRC mismatch");

    position += headerSize;
    if (entry.CompressedSize > archive.size() - position) Fail(entry.Offset, "data runs past the end of the archive");
    position += entry.CompressedSize;
    entries.push_back(std::move(entry));
  }
  return entries;
}

uint16_t CheckWordOf(const std::vector<ParsedEntry>& entries) {
  uint16_t word = 0;
  for (const ParsedEntry& entry : entries) word ^= entry.DataCrc;
  return word;
}
