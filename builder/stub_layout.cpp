// Moves a stub's DOS program and PE headers behind the settings block and shifts what the move displaces.
#include "stub_layout.h"

#include <cstring>

#include "archive/format.h"

namespace {

constexpr uint32_t DosHeaderSize = 64;
constexpr uint32_t DosSignature = 0x5A4D;  // "MZ"
constexpr uint32_t PeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t MachineI386 = 0x014C;
constexpr uint16_t MagicPe32 = 0x010B;

// DOS header fields.
constexpr uint32_t DosLastPageBytes = 0x02;
constexpr uint32_t DosPageCount = 0x04;
constexpr uint32_t DosHeaderParagraphs = 0x08;
constexpr uint32_t DosMinAlloc = 0x0A;
constexpr uint32_t DosMaxAlloc = 0x0C;
constexpr uint32_t DosInitialSp = 0x10;
constexpr uint32_t DosRelocationTable = 0x18;
constexpr uint32_t DosNewHeader = 0x3C;

// COFF file header fields, from its first byte (behind the PE signature).
constexpr uint32_t CoffHeaderSize = 20;
constexpr uint32_t CoffMachine = 0;
constexpr uint32_t CoffSectionCount = 2;
constexpr uint32_t CoffSymbolTable = 8;
constexpr uint32_t CoffSymbolCount = 12;
constexpr uint32_t CoffOptionalSize = 16;
constexpr uint32_t SymbolRecordSize = 18;

// PE32 optional header fields.
constexpr uint32_t OptMagic = 0;
constexpr uint32_t OptSectionAlignment = 32;
constexpr uint32_t OptFileAlignment = 36;
constexpr uint32_t OptSizeOfHeaders = 60;
constexpr uint32_t OptCheckSum = 64;
constexpr uint32_t OptDirectoryCount = 92;
constexpr uint32_t OptDirectories = 96;
constexpr uint32_t DirectoryEntrySize = 8;
constexpr uint32_t MaxDirectories = 16;
constexpr uint32_t CertificateDirectory = 4;  // its address is a file offset, and a signature covers the headers
constexpr uint32_t DebugDirectory = 6;

// Section header fields.
constexpr uint32_t SectionHeaderSize = 40;
constexpr uint32_t SecVirtualAddress = 12;
constexpr uint32_t SecRawSize = 16;
constexpr uint32_t SecRawPointer = 20;
constexpr uint32_t SecRelocationPointer = 24;
constexpr uint32_t SecLineNumberPointer = 28;
constexpr uint32_t SecRelocationCount = 32;
constexpr uint32_t SecLineNumberCount = 34;
constexpr uint32_t RelocationRecordSize = 10;
constexpr uint32_t LineNumberRecordSize = 6;
constexpr uint32_t MaxSections = 96;

// Debug directory entries.
constexpr uint32_t DebugEntrySize = 28;
constexpr uint32_t DebugDataSize = 16;
constexpr uint32_t DebugDataPointer = 24;

// The DOS program, as DOS sees the file: the header takes whole paragraphs up to the first one behind the
// settings block, so the loaded code begins there and the block sits inside the header, which DOS skips.
constexpr uint32_t Paragraph = 16;
constexpr uint32_t SettingsEnd = SettingsBlockOffset + SettingsBlockSize;
constexpr uint32_t DosProgramParagraph = (SettingsEnd + Paragraph - 1) / Paragraph;
constexpr uint32_t DosProgramOffset = DosProgramParagraph * Paragraph;
constexpr uint32_t DosStackBytes = 256;

// Real-mode code at the load segment's offset 0: DS = CS, print the '$'-terminated text behind the code
// (DOS function 9), exit with status 1 (function 4Ch).
constexpr uint8_t DosCode[] = {
    0x0E,              // push cs
    0x1F,              // pop ds
    0xBA, 0x0E, 0x00,  // mov dx, 14: the text's offset, right behind this code
    0xB4, 0x09,        // mov ah, 9
    0xCD, 0x21,        // int 21h
    0xB8, 0x01, 0x4C,  // mov ax, 4C01h
    0xCD, 0x21,        // int 21h
};
static_assert(sizeof(DosCode) == 14);
constexpr char DosText[] = "This program cannot be run in DOS mode.\r\n$";
constexpr uint32_t DosProgramSize = sizeof(DosCode) + sizeof(DosText) - 1;
constexpr uint32_t DosImageEnd = DosProgramOffset + DosProgramSize;
constexpr uint32_t DosLoadSize = (DosProgramSize + Paragraph - 1) / Paragraph * Paragraph;
constexpr uint32_t NewPeOffset = (DosImageEnd + 7) / 8 * 8;
static_assert(DosProgramOffset >= SettingsEnd && NewPeOffset >= DosImageEnd);

uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Where the parsed headers are in the input file; every offset is checked against the file's size.
struct Headers {
  uint32_t peOffset;
  uint32_t coff;
  uint32_t optional;
  uint32_t sectionTable;
  uint32_t sectionCount;
  uint32_t headersEnd;  // end of the section table
  uint32_t fileAlignment;
  uint32_t directoryCount;
  uint32_t firstVirtualAddress;
  uint32_t dataStart;  // lowest file offset of any section's raw data
};

std::string ParseHeaders(std::span<const uint8_t> file, Headers& h) {
  const uint64_t size = file.size();
  const uint8_t* p = file.data();
  if (size < DosHeaderSize) return "file too short for a DOS header";
  if (ReadU16(p) != DosSignature) return "no MZ signature";
  h.peOffset = ReadU32(p + DosNewHeader);
  if (h.peOffset < DosHeaderSize) return "e_lfanew points into the DOS header";
  if (uint64_t{h.peOffset} + 4 + CoffHeaderSize > size) return "e_lfanew points beyond the file";
  if (ReadU32(p + h.peOffset) != PeSignature) return "no PE signature at e_lfanew";
  h.coff = h.peOffset + 4;
  if (ReadU16(p + h.coff + CoffMachine) != MachineI386) return "not an i386 image";
  h.sectionCount = ReadU16(p + h.coff + CoffSectionCount);
  if (h.sectionCount == 0 || h.sectionCount > MaxSections) return "bad number of sections";
  const uint32_t optionalSize = ReadU16(p + h.coff + CoffOptionalSize);
  h.optional = h.coff + CoffHeaderSize;
  if (optionalSize < OptDirectories) return "optional header too short";
  if (uint64_t{h.optional} + optionalSize > size) return "optional header beyond the file";
  if (ReadU16(p + h.optional + OptMagic) != MagicPe32) return "not a PE32 image";
  h.directoryCount = ReadU32(p + h.optional + OptDirectoryCount);
  if (h.directoryCount > MaxDirectories || OptDirectories + h.directoryCount * DirectoryEntrySize > optionalSize)
    return "bad number of data directories";
  h.fileAlignment = ReadU32(p + h.optional + OptFileAlignment);
  const uint32_t sectionAlignment = ReadU32(p + h.optional + OptSectionAlignment);
  if (!IsPowerOfTwo(h.fileAlignment) || h.fileAlignment > 0x10000 || sectionAlignment < h.fileAlignment)
    return "bad file alignment";
  h.sectionTable = h.optional + optionalSize;
  const uint64_t tableEnd = uint64_t{h.sectionTable} + uint64_t{h.sectionCount} * SectionHeaderSize;
  if (tableEnd > size) return "section table beyond the file";
  h.headersEnd = static_cast<uint32_t>(tableEnd);
  return {};
}

// Finds the lowest virtual address and the start of the raw data, and checks each section's file ranges.
std::string ScanSections(std::span<const uint8_t> file, Headers& h) {
  const uint64_t size = file.size();
  h.firstVirtualAddress = UINT32_MAX;
  h.dataStart = UINT32_MAX;
  for (uint32_t i = 0; i < h.sectionCount; ++i) {
    const uint8_t* s = file.data() + h.sectionTable + i * SectionHeaderSize;
    const uint32_t virtualAddress = ReadU32(s + SecVirtualAddress);
    const uint32_t rawSize = ReadU32(s + SecRawSize);
    const uint32_t rawPointer = ReadU32(s + SecRawPointer);
    const uint32_t relocations = ReadU32(s + SecRelocationPointer);
    const uint32_t lineNumbers = ReadU32(s + SecLineNumberPointer);
    if (virtualAddress < h.firstVirtualAddress) h.firstVirtualAddress = virtualAddress;
    if (rawSize != 0) {
      if (uint64_t{rawPointer} + rawSize > size) return "section raw data beyond the file";
      if (rawPointer < h.dataStart) h.dataStart = rawPointer;
    }
    if (relocations != 0 &&
        uint64_t{relocations} + uint64_t{ReadU16(s + SecRelocationCount)} * RelocationRecordSize > size)
      return "section relocations beyond the file";
    if (lineNumbers != 0 &&
        uint64_t{lineNumbers} + uint64_t{ReadU16(s + SecLineNumberCount)} * LineNumberRecordSize > size)
      return "section line numbers beyond the file";
  }
  if (h.dataStart == UINT32_MAX) return "no section has raw data";
  if (h.dataStart < h.headersEnd) return "section raw data overlaps the headers";
  return {};
}

// Refuses data directories whose contents the move would lose or could not follow.
std::string CheckDirectories(std::span<const uint8_t> file, const Headers& h) {
  for (uint32_t i = 0; i < h.directoryCount; ++i) {
    const uint8_t* d = file.data() + h.optional + OptDirectories + i * DirectoryEntrySize;
    const uint32_t address = ReadU32(d);
    const uint32_t size = ReadU32(d + 4);
    if (address == 0 && size == 0) continue;
    if (i == CertificateDirectory) return "the image carries a certificate table; sign it after the re-layout";
    if (address < h.firstVirtualAddress) return "data directory " + std::to_string(i) + " lies in the headers";
  }
  return {};
}

// Moves a file offset that points into the data by delta; 0 means "none" and stays.
bool ShiftOffset(uint8_t* field, const Headers& h, uint64_t fileSize, uint32_t delta) {
  const uint32_t offset = ReadU32(field);
  if (offset == 0) return true;
  if (offset < h.dataStart || offset > fileSize) return false;
  WriteU32(field, offset + delta);
  return true;
}

// Finds the debug directory's entries in the input through the section that maps them.
std::string LocateDebugEntries(std::span<const uint8_t> file, const Headers& h, uint32_t& offset,
                               uint32_t& count) {
  count = 0;
  if (h.directoryCount <= DebugDirectory) return {};
  const uint8_t* d = file.data() + h.optional + OptDirectories + DebugDirectory * DirectoryEntrySize;
  const uint32_t address = ReadU32(d);
  const uint32_t size = ReadU32(d + 4);
  if (size == 0) return {};
  if (size % DebugEntrySize != 0) return "bad debug directory size";
  for (uint32_t i = 0; i < h.sectionCount; ++i) {
    const uint8_t* s = file.data() + h.sectionTable + i * SectionHeaderSize;
    const uint32_t virtualAddress = ReadU32(s + SecVirtualAddress);
    const uint32_t rawSize = ReadU32(s + SecRawSize);
    if (address < virtualAddress || uint64_t{address} - virtualAddress + size > rawSize) continue;
    offset = ReadU32(s + SecRawPointer) + (address - virtualAddress);
    count = size / DebugEntrySize;
    return {};
  }
  return "debug directory outside the sections' raw data";
}

void WriteDosProgram(uint8_t* out) {
  WriteU16(out, DosSignature);
  WriteU16(out + DosLastPageBytes, static_cast<uint16_t>(DosImageEnd % 512));
  WriteU16(out + DosPageCount, static_cast<uint16_t>((DosImageEnd + 511) / 512));
  WriteU16(out + DosHeaderParagraphs, static_cast<uint16_t>(DosProgramParagraph));
  WriteU16(out + DosMinAlloc, static_cast<uint16_t>(DosStackBytes / Paragraph));
  WriteU16(out + DosMaxAlloc, 0xFFFF);
  // SS:SP = load segment : top of the stack that DosMinAlloc reserves behind the loaded program; CS:IP, the
  // relocation count and the checksum stay 0.
  WriteU16(out + DosInitialSp, static_cast<uint16_t>(DosLoadSize + DosStackBytes));
  WriteU16(out + DosRelocationTable, DosHeaderSize);  // 0x40 or more marks a file with a new-style header
  WriteU32(out + DosNewHeader, NewPeOffset);
  std::memcpy(out + DosProgramOffset, DosCode, sizeof(DosCode));
  std::memcpy(out + DosProgramOffset + sizeof(DosCode), DosText, sizeof(DosText) - 1);
}

}  // namespace

StubLayoutResult LayOutStub(std::span<const uint8_t> file) {
  StubLayoutResult result;
  const uint64_t size = file.size();
  if (size > UINT32_MAX) return {{}, "file too large for a PE image"};
  Headers h{};
  result.error = ParseHeaders(file, h);
  if (result.error.empty()) result.error = ScanSections(file, h);
  if (result.error.empty()) result.error = CheckDirectories(file, h);
  uint32_t debugOffset = 0;
  uint32_t debugCount = 0;
  if (result.error.empty()) result.error = LocateDebugEntries(file, h, debugOffset, debugCount);
  if (!result.error.empty()) return result;

  const uint32_t headersSize = h.headersEnd - h.peOffset;
  const uint64_t sizeOfHeaders = AlignUp(uint64_t{NewPeOffset} + headersSize, h.fileAlignment);
  if (sizeOfHeaders > h.firstVirtualAddress) return {{}, "the moved headers would not fit below the first section"};
  // The data moves by whole file-alignment units so that every raw pointer keeps its alignment.
  const uint64_t delta = sizeOfHeaders > h.dataStart ? AlignUp(sizeOfHeaders - h.dataStart, h.fileAlignment) : 0;
  if (size + delta > UINT32_MAX) return {{}, "file too large to move its data"};
  const uint32_t shift = static_cast<uint32_t>(delta);

  std::vector<uint8_t>& out = result.image;
  out.assign(size + delta, 0);
  WriteDosProgram(out.data());
  std::memcpy(out.data() + NewPeOffset, file.data() + h.peOffset, headersSize);
  std::memcpy(out.data() + h.dataStart + delta, file.data() + h.dataStart, size - h.dataStart);

  // From here on every offset names a place in the output, whose headers moved by NewPeOffset - peOffset.
  const uint32_t coff = h.coff - h.peOffset + NewPeOffset;
  const uint32_t optional = h.optional - h.peOffset + NewPeOffset;
  const uint32_t sectionTable = h.sectionTable - h.peOffset + NewPeOffset;
  WriteU32(out.data() + optional + OptSizeOfHeaders, static_cast<uint32_t>(sizeOfHeaders));
  WriteU32(out.data() + optional + OptCheckSum, 0);  // no longer valid, and the builder changes the file anyway

  bool fixed = true;
  for (uint32_t i = 0; i < h.sectionCount; ++i) {
    uint8_t* s = out.data() + sectionTable + i * SectionHeaderSize;
    fixed = fixed && ShiftOffset(s + SecRawPointer, h, size, shift) &&
            ShiftOffset(s + SecRelocationPointer, h, size, shift) &&
            ShiftOffset(s + SecLineNumberPointer, h, size, shift);
  }
  const uint32_t symbolTable = ReadU32(out.data() + coff + CoffSymbolTable);
  if (symbolTable != 0 &&
      uint64_t{symbolTable} + uint64_t{ReadU32(out.data() + coff + CoffSymbolCount)} * SymbolRecordSize > size)
    fixed = false;
  fixed = fixed && ShiftOffset(out.data() + coff + CoffSymbolTable, h, size, shift);
  for (uint32_t i = 0; i < debugCount && fixed; ++i) {
    uint8_t* entry = out.data() + debugOffset + shift + i * DebugEntrySize;
    const uint32_t dataPointer = ReadU32(entry + DebugDataPointer);
    if (dataPointer != 0 && uint64_t{dataPointer} + ReadU32(entry + DebugDataSize) > size) fixed = false;
    fixed = fixed && ShiftOffset(entry + DebugDataPointer, h, size, shift);
  }
  if (!fixed) return {{}, "a file offset in the headers points outside the image's data"};
  return result;
}
