// Reading and checking one level-2 entry header, and building the entry's name from it.
#include "archive/entry_header.h"

#include <cstring>

#include "archive/crc16.h"
#include "archive/walk.h"
#include "paths/separators.h"
#include "startup/errors.h"
#include "startup/work_area.h"
#include "timestamps/filetime.h"

namespace {

bool MethodIsKnown(const uint8_t* header) {
  const char method = static_cast<char>(header[MethodCharOffset]);
  return std::memcmp(header + MethodIdOffset, "-lh", 3) == 0 && header[MethodIdOffset + 4] == '-' && method != 0 &&
         std::strchr(MethodChars, method) != nullptr;
}

void TakeWindowsTimes(const uint8_t* data) {
  // Stored order: creation, last write, last access. A value that cannot be converted keeps the header's time.
  FileTimeToUnix(ReadU64(data), &Work->CreationTime);
  FileTimeToUnix(ReadU64(data + 8), &Work->WriteTime);
  FileTimeToUnix(ReadU64(data + 16), &Work->AccessTime);
}

// Interprets one extended header; false when its data is too short for its type.
bool TakeExtendedHeader(uint8_t type, uint8_t* data, uint16_t length, bool windowsExtensions) {
  switch (type) {
    case ExtHeaderCrc:
      if (length < 2) return false;
      Work->StoredHeaderCrc = ReadU16(data);
      Work->HeaderCrcField = data;
      return true;
    case ExtFileName:
      Work->FileNameField = data;
      Work->FileNameLength = length;
      return true;
    case ExtDirName:
      Work->DirNameField = data;
      Work->DirNameLength = length;
      return true;
    case ExtAttributes:
      if (!windowsExtensions) return true;
      if (length < 2) return false;
      Work->EntryAttributes = ReadU16(data);
      return true;
    case ExtWindowsTimes:
      if (!windowsExtensions) return true;
      if (length < WindowsTimesDataSize) return false;
      TakeWindowsTimes(data);
      return true;
    default:
      return true;
  }
}

// Follows the chain of extended headers; every size field and every header's data lies inside the buffer.
bool WalkExtendedHeaders(uint8_t* header, uint32_t headerSize) {
  const bool windowsExtensions = HasWindowsExtensions(header[OsIdOffset]);
  uint32_t place = FirstExtendedSizeOffset;
  for (;;) {
    const uint16_t size = ReadU16(header + place);
    if (size == 0) return true;
    if (size < ExtendedOverhead || place + size + 2 > headerSize) return false;
    uint8_t* data = header + place + ExtendedOverhead;
    if (!TakeExtendedHeader(header[place + 2], data, static_cast<uint16_t>(size - ExtendedOverhead), windowsExtensions))
      return false;
    place += size;
  }
}

bool HeaderCrcMatches(uint8_t* header, uint32_t headerSize) {
  if (Work->HeaderCrcField == nullptr) return false;
  WriteU16(Work->HeaderCrcField, 0);
  Work->RunningCrc = UpdateCrc(Work->CrcTable, 0, header, headerSize);
  return Work->RunningCrc == Work->StoredHeaderCrc;
}

// Copies at most length bytes; a zero byte inside the name ends the copy.
void CopyNamePart(char* destination, const uint8_t* source, uint16_t length) {
  for (uint16_t i = 0; i < length; ++i) {
    destination[i] = static_cast<char>(source[i]);
    if (source[i] == 0) return;
  }
}

// The name is the directory name followed by the file name, placed behind the directory name's full length.
bool AssembleEntryName() {
  char* name = Work->EntryName;
  const uint32_t dirLength = Work->DirNameLength;
  const uint32_t fileLength = Work->FileNameLength;
  if (dirLength + fileLength >= sizeof Work->EntryName) return false;
  if (dirLength != 0) CopyNamePart(name, Work->DirNameField, Work->DirNameLength);
  CopyNamePart(name + dirLength, Work->FileNameField, Work->FileNameLength);
  name[dirLength + fileLength] = 0;
  NormaliseSeparators(name, '/');
  return true;
}

}  // namespace

HeaderResult ReadEntryHeader() {
  uint8_t sizeField[2];
  if (ReadFile(Work->ArchiveFile, sizeField, sizeof sizeField) != 2) return HeaderResult::End;
  const int16_t size = static_cast<int16_t>(ReadU16(sizeField));
  if (size == 0) return HeaderResult::End;
  uint8_t* header = size < 0 ? nullptr : static_cast<uint8_t*>(AllocateZeroed(static_cast<uint32_t>(size)));
  if (header == nullptr) {
    ShowOutOfMemory();
    Work->ErrorFlag = 1;
    return HeaderResult::Failed;
  }
  Work->HeaderBuffer = header;
  const uint32_t headerSize = static_cast<uint32_t>(size);
  if (headerSize < FixedHeaderSize) {
    ReportBadHeader();
    return HeaderResult::Failed;
  }
  WriteU16(header, static_cast<uint16_t>(size));
  const int32_t rest = static_cast<int32_t>(headerSize - 2);
  if (ReadFile(Work->ArchiveFile, header + 2, headerSize - 2) != rest || !MethodIsKnown(header)) {
    ReportBadHeader();
    return HeaderResult::Failed;
  }
  Work->HeaderCrcField = nullptr;
  Work->DirNameLength = 0;
  Work->FileNameLength = 0;
  Work->EntryAttributes = header[AttributesOffset];
  Work->WriteTime = ReadU32(header + TimeStampOffset);
  Work->CreationTime = Work->WriteTime;
  Work->AccessTime = Work->WriteTime;
  if (!WalkExtendedHeaders(header, headerSize) || !HeaderCrcMatches(header, headerSize) || !AssembleEntryName()) {
    ReportBadHeader();
    return HeaderResult::Failed;
  }
  return HeaderResult::Entry;
}
