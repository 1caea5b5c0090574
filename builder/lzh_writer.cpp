// Encodes level-2 LZH entries and archives; every header field can be overridden to craft broken fixtures.
#include "lzh_writer.h"

#include <stdexcept>

#include "archive/crc16.h"
#include "archive/format.h"

namespace {

constexpr int64_t FileTimeUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
constexpr uint64_t FileTimeTicksPerSecond = 10000000;
constexpr size_t MaxHeaderSize = 0xFFFF;
constexpr size_t CrcDataSize = 2;
constexpr size_t AttributesDataSize = 2;

void AppendU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU64(Bytes& out, uint64_t value) {
  for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// One extended header's type and data; its size field is written by the chain builder.
struct Extension {
  uint8_t Type;
  Bytes Data;
};

std::vector<Extension> CollectExtensions(const LzhEntry& entry) {
  std::vector<Extension> chain;
  // The CRC goes first so that readers find it before any name they might act on.
  if (!entry.OmitHeaderCrc) chain.push_back({ExtHeaderCrc, Bytes(CrcDataSize, 0)});
  if (entry.FileName) chain.push_back({ExtFileName, Bytes(entry.FileName->begin(), entry.FileName->end())});
  if (entry.DirName) chain.push_back({ExtDirName, Bytes(entry.DirName->begin(), entry.DirName->end())});
  if (entry.AttributesExtension) {
    Bytes data;
    AppendU16(data, *entry.AttributesExtension);
    chain.push_back({ExtAttributes, data});
  }
  if (entry.WindowsTimes) {
    Bytes data;
    AppendU64(data, entry.WindowsTimes->Creation);
    AppendU64(data, entry.WindowsTimes->LastWrite);
    AppendU64(data, entry.WindowsTimes->LastAccess);
    chain.push_back({ExtWindowsTimes, data});
  }
  for (const RawExtendedHeader& extra : entry.ExtraHeaders) chain.push_back({extra.Type, extra.Data});
  return chain;
}

const Bytes& StoredData(const LzhEntry& entry) { return entry.PackedData ? *entry.PackedData : entry.Data; }

}  // namespace

uint64_t UnixToFileTime(int64_t unixSeconds, uint32_t hundredNanoseconds) {
  return static_cast<uint64_t>(unixSeconds + FileTimeUnixEpochSeconds) * FileTimeTicksPerSecond + hundredNanoseconds;
}

uint16_t Crc16(const uint8_t* data, size_t length) {
  uint16_t crc = 0;
  // UpdateCrcWide counts in 32 bits; feed longer inputs in slices.
  while (length > 0) {
    const uint32_t slice = length > 0x40000000 ? 0x40000000u : static_cast<uint32_t>(length);
    crc = UpdateCrcWide(crc, data, slice);
    data += slice;
    length -= slice;
  }
  return crc;
}

uint16_t EntryDataCrc(const LzhEntry& entry) { return entry.ForcedDataCrc ? *entry.ForcedDataCrc : Crc16(entry.Data); }

Bytes EncodeHeader(const LzhEntry& entry) {
  if (entry.MethodId.size() != 5) throw std::invalid_argument("method id must be 5 bytes: " + entry.MethodId);
  const std::vector<Extension> chain = CollectExtensions(entry);

  Bytes header(FixedHeaderSize, 0);
  for (size_t i = 0; i < 5; ++i) header[MethodIdOffset + i] = static_cast<uint8_t>(entry.MethodId[i]);
  const Bytes& stored = StoredData(entry);
  if (stored.size() > UINT32_MAX || entry.Data.size() > UINT32_MAX) throw std::invalid_argument("entry data over 4 GiB");
  WriteU32(&header[CompressedSizeOffset],
           entry.ForcedCompressedSize ? *entry.ForcedCompressedSize : static_cast<uint32_t>(stored.size()));
  WriteU32(&header[UncompressedSizeOffset],
           entry.ForcedUncompressedSize ? *entry.ForcedUncompressedSize : static_cast<uint32_t>(entry.Data.size()));
  WriteU32(&header[TimeStampOffset], entry.TimeStamp);
  header[AttributesOffset] = entry.Attributes;
  header[HeaderLevelOffset] = entry.HeaderLevel;
  WriteU16(&header[DataCrcOffset], EntryDataCrc(entry));
  header[OsIdOffset] = entry.OsId;

  // Each extended header's size sits in front of it and counts its type byte, its data and the next size field.
  size_t sizeField = FirstExtendedSizeOffset;
  std::optional<size_t> crcPlace;
  for (const Extension& extension : chain) {
    const size_t size = ExtendedOverhead + extension.Data.size();
    if (size > MaxHeaderSize) throw std::invalid_argument("extended header over 65,535 bytes");
    WriteU16(&header[sizeField], static_cast<uint16_t>(size));
    header.push_back(extension.Type);
    if (extension.Type == ExtHeaderCrc && !crcPlace && !entry.OmitHeaderCrc) crcPlace = header.size();
    header.insert(header.end(), extension.Data.begin(), extension.Data.end());
    sizeField = header.size();
    header.resize(header.size() + 2, 0);  // the next size field; 0 until another header follows
  }
  if (header.size() > MaxHeaderSize) throw std::invalid_argument("header over 65,535 bytes");
  WriteU16(&header[HeaderSizeOffset],
           entry.ForcedHeaderSize ? *entry.ForcedHeaderSize : static_cast<uint16_t>(header.size()));

  if (crcPlace) {
    const uint16_t crc = Crc16(header);  // its own two bytes are still zero here
    WriteU16(&header[*crcPlace], entry.CorruptHeaderCrc ? static_cast<uint16_t>(~crc) : crc);
  }
  return header;
}

Bytes EncodeEntry(const LzhEntry& entry) {
  Bytes out = EncodeHeader(entry);
  const Bytes& stored = StoredData(entry);
  out.insert(out.end(), stored.begin(), stored.end());
  return out;
}

uint16_t ArchiveCheckWord(const std::vector<LzhEntry>& entries) {
  uint16_t word = 0;
  for (const LzhEntry& entry : entries) word ^= EntryDataCrc(entry);
  return word;
}

Bytes EncodeArchive(const std::vector<LzhEntry>& entries, const LzhArchiveOptions& options) {
  Bytes out;
  if (options.CheckWord) AppendU16(out, ArchiveCheckWord(entries));
  for (const LzhEntry& entry : entries) {
    const Bytes encoded = EncodeEntry(entry);
    out.insert(out.end(), encoded.begin(), encoded.end());
  }
  if (options.EndMarker) out.push_back(0);
  if (options.TruncateTo && *options.TruncateTo < out.size()) out.resize(*options.TruncateTo);
  return out;
}

LzhEntry MakeFileEntry(const std::string& dirName, const std::string& fileName, const Bytes& data, uint32_t timeStamp,
                       uint8_t attributes) {
  LzhEntry entry;
  if (!dirName.empty()) entry.DirName = dirName;
  entry.FileName = fileName;
  entry.Data = data;
  entry.TimeStamp = timeStamp;
  entry.Attributes = attributes;
  entry.AttributesExtension = attributes;
  const uint64_t fileTime = UnixToFileTime(timeStamp);
  entry.WindowsTimes = WindowsFileTimes{fileTime, fileTime, fileTime};
  return entry;
}

LzhEntry MakeDirectoryEntry(const std::string& dirName, uint32_t timeStamp, uint8_t attributes) {
  LzhEntry entry = MakeFileEntry(dirName, "", {}, timeStamp, attributes);
  entry.MethodId = "-lhd-";
  entry.FileName.reset();  // a directory entry is named by its directory part alone
  return entry;
}
