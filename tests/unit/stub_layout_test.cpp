// Tests for the stub re-layout: the fixture PE and the real stub come out with the settings block's range free.
#include "stub_layout.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/format.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A stripped, CRT-less i686 MinGW program with a debug directory (see fixtures/stub_layout_tiny.c).
const Bytes& Fixture() {
  static const Bytes bytes = ReadFile(std::string(SFX_SOURCE_DIR) + "/tests/unit/fixtures/stub_layout_tiny.exe");
  return bytes;
}

// Offsets into a parsed PE, read the way the Windows and DOS loaders read them.
struct Pe {
  uint32_t lfanew, coff, optional, sectionTable, sectionCount, sectionTableEnd;
  uint32_t Section(uint32_t i, uint32_t field) const { return sectionTable + i * 40 + field; }
};

Pe Locate(const Bytes& f) {
  Pe pe{};
  pe.lfanew = ReadU32(f.data() + 0x3C);
  pe.coff = pe.lfanew + 4;
  pe.optional = pe.coff + 20;
  pe.sectionTable = pe.optional + ReadU16(f.data() + pe.coff + 16);
  pe.sectionCount = ReadU16(f.data() + pe.coff + 2);
  pe.sectionTableEnd = pe.sectionTable + pe.sectionCount * 40;
  return pe;
}

// Returns the first way in which f breaks the layout the builder relies on, or "" when it holds.
std::string LayoutViolation(const Bytes& f) {
  const uint64_t settingsEnd = SettingsBlockOffset + SettingsBlockSize;
  if (f.size() < settingsEnd || ReadU16(f.data()) != 0x5A4D) return "no DOS header";
  const Pe pe = Locate(f);
  if (pe.lfanew < settingsEnd) return "e_lfanew " + std::to_string(pe.lfanew) + " inside the settings block";
  if (uint64_t{pe.lfanew} + 24 > f.size() || ReadU32(f.data() + pe.lfanew) != 0x4550) return "no PE header";
  const uint32_t codeStart = ReadU16(f.data() + 0x08) * 16u;
  if (codeStart < settingsEnd) return "DOS code starts at " + std::to_string(codeStart);
  for (uint32_t i = 64; i < codeStart; ++i)
    if (f[i] != 0) return "byte " + std::to_string(i) + " of the DOS header area is not zero";

  // What DOS would load: the file's size per e_cp/e_cblp, less the header paragraphs.
  const uint32_t lastPage = ReadU16(f.data() + 0x02);
  const uint32_t pages = ReadU16(f.data() + 0x04);
  const uint32_t dosEnd = pages == 0 ? 0 : (pages - 1) * 512 + (lastPage == 0 ? 512 : lastPage);
  if (dosEnd <= codeStart || dosEnd > pe.lfanew) return "DOS image size does not end between code and PE header";
  const uint32_t loadSize = (dosEnd - codeStart + 15) / 16 * 16;
  const uint32_t entry = ReadU16(f.data() + 0x16) * 16u + ReadU16(f.data() + 0x14);
  if (entry >= dosEnd - codeStart) return "DOS entry point outside the loaded program";
  const uint32_t stackTop = ReadU16(f.data() + 0x0E) * 16u + ReadU16(f.data() + 0x10);
  if (stackTop <= loadSize || stackTop > loadSize + ReadU16(f.data() + 0x0A) * 16u)
    return "DOS stack not in the memory reserved behind the program";
  const std::string program(f.begin() + codeStart, f.begin() + dosEnd);
  const size_t text = program.find("This program cannot be run in DOS mode.");
  if (text == std::string::npos || program.find('$', text) == std::string::npos) return "no '$'-terminated text";

  if (pe.sectionTableEnd > f.size()) return "section table beyond the file";
  const uint32_t fileAlignment = ReadU32(f.data() + pe.optional + 36);
  const uint32_t sizeOfHeaders = ReadU32(f.data() + pe.optional + 60);
  if (sizeOfHeaders < pe.sectionTableEnd) return "SizeOfHeaders below the section table's end";
  if (fileAlignment == 0 || sizeOfHeaders % fileAlignment != 0) return "SizeOfHeaders not file-aligned";
  for (uint32_t i = 0; i < pe.sectionCount; ++i) {
    const uint32_t address = ReadU32(f.data() + pe.Section(i, 12));
    const uint32_t rawSize = ReadU32(f.data() + pe.Section(i, 16));
    const uint32_t raw = ReadU32(f.data() + pe.Section(i, 20));
    if (sizeOfHeaders > address) return "SizeOfHeaders beyond section " + std::to_string(i) + "'s address";
    if (rawSize != 0 && (raw < sizeOfHeaders || uint64_t{raw} + rawSize > f.size()))
      return "section " + std::to_string(i) + "'s raw data out of place";
  }
  return "";
}

uint32_t RawPointer(const Bytes& f, uint32_t section) { return ReadU32(f.data() + Locate(f).Section(section, 20)); }

// File offset of the first debug directory entry, through the section that maps it; 0 when there is none.
uint32_t DebugEntryOffset(const Bytes& f) {
  const Pe pe = Locate(f);
  const uint32_t rva = ReadU32(f.data() + pe.optional + 96 + 6 * 8);
  for (uint32_t i = 0; i < pe.sectionCount && rva != 0; ++i) {
    const uint32_t address = ReadU32(f.data() + pe.Section(i, 12));
    if (rva >= address && rva - address < ReadU32(f.data() + pe.Section(i, 16)))
      return RawPointer(f, i) + rva - address;
  }
  return 0;
}

TEST(StubLayout, MovesTheFixtureHeadersAndKeepsEveryByteOfItsData) {
  const Bytes& in = Fixture();
  ASSERT_GT(in.size(), 1024u);
  ASSERT_NE(LayoutViolation(in), "") << "the fixture should start out with GNU ld's layout";
  const StubLayoutResult result = LayOutStub(in);
  ASSERT_EQ(result.error, "");
  const Bytes& out = result.image;
  EXPECT_EQ(LayoutViolation(out), "");

  const Pe a = Locate(in);
  const Pe b = Locate(out);
  EXPECT_EQ(b.lfanew % 8, 0u);
  EXPECT_EQ(ReadU32(out.data() + b.optional + 64), 0u) << "a stale CheckSum must not survive";
  // Headers are copied as they were, apart from SizeOfHeaders, CheckSum and the raw pointers.
  Bytes headersIn(in.begin() + a.lfanew, in.begin() + a.sectionTableEnd);
  Bytes headersOut(out.begin() + b.lfanew, out.begin() + b.sectionTableEnd);
  ASSERT_EQ(headersIn.size(), headersOut.size());
  for (Bytes* h : {&headersIn, &headersOut}) {
    const uint32_t optional = 24;
    WriteU32(h->data() + optional + 60, 0);
    WriteU32(h->data() + optional + 64, 0);
    for (uint32_t i = 0; i < a.sectionCount; ++i) WriteU32(h->data() + a.Section(i, 20) - a.lfanew, 0);
  }
  EXPECT_EQ(headersIn, headersOut);

  const uint32_t delta = RawPointer(out, 0) - RawPointer(in, 0);
  EXPECT_GT(delta, 0u) << "GNU ld's first section starts where the moved headers now are";
  EXPECT_EQ(out.size(), in.size() + delta);

  // The debug entry's file pointer must move with the data and still reach its CodeView record ("RSDS").
  const uint32_t entryIn = DebugEntryOffset(in);
  const uint32_t entryOut = DebugEntryOffset(out);
  ASSERT_NE(entryIn, 0u);
  ASSERT_EQ(entryOut, entryIn + delta);
  const uint32_t record = ReadU32(out.data() + entryOut + 24);
  EXPECT_EQ(record, ReadU32(in.data() + entryIn + 24) + delta);
  ASSERT_LE(uint64_t{record} + 4, out.size());
  EXPECT_EQ(std::string(out.begin() + record, out.begin() + record + 4), "RSDS");

  // Apart from that pointer, every section's raw data is what it was.
  Bytes dataIn = in;
  Bytes dataOut = out;
  WriteU32(dataIn.data() + entryIn + 24, 0);
  WriteU32(dataOut.data() + entryOut + 24, 0);
  for (uint32_t i = 0; i < a.sectionCount; ++i) {
    const uint32_t rawSize = ReadU32(in.data() + a.Section(i, 16));
    if (rawSize == 0) continue;
    EXPECT_EQ(RawPointer(out, i), RawPointer(in, i) + delta) << "section " << i;
    EXPECT_TRUE(std::equal(dataIn.begin() + RawPointer(in, i), dataIn.begin() + RawPointer(in, i) + rawSize,
                           dataOut.begin() + RawPointer(out, i)))
        << "section " << i;
  }
}

TEST(StubLayout, SecondRunLeavesTheImageAsItIs) {
  const StubLayoutResult first = LayOutStub(Fixture());
  ASSERT_EQ(first.error, "");
  const StubLayoutResult second = LayOutStub(first.image);
  ASSERT_EQ(second.error, "");
  EXPECT_EQ(second.image, first.image);
}

TEST(StubLayout, OtherFileOffsetsAndAppendedDataMoveWithTheSections) {
  Bytes in = Fixture();
  const Pe pe = Locate(in);
  const uint32_t last = RawPointer(in, pe.sectionCount - 1);
  WriteU32(in.data() + pe.coff + 8, last);  // a one-record symbol table
  WriteU32(in.data() + pe.coff + 12, 1);
  WriteU32(in.data() + pe.Section(0, 24), RawPointer(in, 1));  // one relocation record
  WriteU16(in.data() + pe.Section(0, 32), 1);
  WriteU32(in.data() + pe.Section(0, 28), RawPointer(in, 2));  // one line-number record
  WriteU16(in.data() + pe.Section(0, 34), 1);
  const std::string overlay = "-lh5- archive behind the image";
  in.insert(in.end(), overlay.begin(), overlay.end());

  const StubLayoutResult result = LayOutStub(in);
  ASSERT_EQ(result.error, "");
  const Bytes& out = result.image;
  const Pe moved = Locate(out);
  const uint32_t delta = RawPointer(out, 0) - RawPointer(in, 0);
  EXPECT_EQ(ReadU32(out.data() + moved.coff + 8), last + delta);
  EXPECT_EQ(ReadU32(out.data() + moved.Section(0, 24)), RawPointer(in, 1) + delta);
  EXPECT_EQ(ReadU32(out.data() + moved.Section(0, 28)), RawPointer(in, 2) + delta);
  EXPECT_EQ(std::string(out.end() - static_cast<std::ptrdiff_t>(overlay.size()), out.end()), overlay);
}

TEST(StubLayout, RefusesImagesItCannotReadOrFix) {
  const Pe pe = Locate(Fixture());
  const uint32_t opt = pe.optional;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> spoil;
    const char* error;
  };
  const Case cases[] = {
      {"MZ", [](Bytes& f) { f[1] = 'X'; }, "no MZ signature"},
      {"e_lfanew in DOS header", [](Bytes& f) { WriteU32(f.data() + 0x3C, 0x20); }, "into the DOS header"},
      {"e_lfanew beyond file", [](Bytes& f) { WriteU32(f.data() + 0x3C, 0xFFFFFFF0u); }, "beyond the file"},
      {"PE signature", [&](Bytes& f) { f[pe.lfanew + 1] = 'F'; }, "no PE signature"},
      {"machine", [&](Bytes& f) { WriteU16(f.data() + pe.coff, 0x8664); }, "not an i386 image"},
      {"no sections", [&](Bytes& f) { WriteU16(f.data() + pe.coff + 2, 0); }, "number of sections"},
      {"too many sections", [&](Bytes& f) { WriteU16(f.data() + pe.coff + 2, 97); }, "number of sections"},
      {"section table beyond file", [&](Bytes& f) { f.resize(pe.sectionTableEnd - 1); }, "section table beyond"},
      {"optional header too short", [&](Bytes& f) { WriteU16(f.data() + pe.coff + 16, 64); }, "too short"},
      {"optional header beyond file", [&](Bytes& f) { WriteU16(f.data() + pe.coff + 16, 0xFFFF); }, "beyond"},
      {"PE32+", [&](Bytes& f) { WriteU16(f.data() + opt, 0x20B); }, "not a PE32 image"},
      {"directory count", [&](Bytes& f) { WriteU32(f.data() + opt + 92, 17); }, "data directories"},
      {"file alignment", [&](Bytes& f) { WriteU32(f.data() + opt + 36, 0x300); }, "file alignment"},
      {"section data beyond file", [&](Bytes& f) { WriteU32(f.data() + pe.Section(0, 16), 0x10000); }, "beyond"},
      {"section data in headers", [&](Bytes& f) { WriteU32(f.data() + pe.Section(0, 20), 0x100); }, "overlaps"},
      {"relocations beyond file",
       [&](Bytes& f) {
         WriteU32(f.data() + pe.Section(0, 24), 0x1000);
         WriteU16(f.data() + pe.Section(0, 32), 0x400);
       },
       "relocations beyond"},
      {"relocations in headers", [&](Bytes& f) { WriteU32(f.data() + pe.Section(0, 24), 0x200); }, "points outside"},
      {"symbol table beyond file",
       [&](Bytes& f) {
         WriteU32(f.data() + pe.coff + 8, 0x1000);
         WriteU32(f.data() + pe.coff + 12, 0x10000000);
       },
       "points outside"},
      {"certificate table", [&](Bytes& f) { WriteU32(f.data() + opt + 96 + 4 * 8 + 4, 0x100); }, "certificate"},
      {"directory in headers", [&](Bytes& f) { WriteU32(f.data() + opt + 96 + 11 * 8, 0x300); }, "in the headers"},
      {"debug directory unmapped", [&](Bytes& f) { WriteU32(f.data() + opt + 96 + 6 * 8, 0x6000); }, "debug"},
      {"debug data beyond file",
       [&](Bytes& f) {
         WriteU32(f.data() + DebugEntryOffset(f) + 24, 0x7FFFFFF0);
       },
       "points outside"},
      {"headers do not fit", [&](Bytes& f) { WriteU32(f.data() + pe.Section(0, 12), 0x600); }, "would not fit"},
  };
  for (const Case& c : cases) {
    Bytes f = Fixture();
    c.spoil(f);
    const StubLayoutResult result = LayOutStub(f);
    EXPECT_NE(result.error.find(c.error), std::string::npos) << c.what << ": got \"" << result.error << '"';
    EXPECT_TRUE(result.image.empty()) << c.what;
  }
}

TEST(StubLayout, RefusesEveryTruncationOfTheFixture) {
  const Bytes& in = Fixture();
  for (size_t length = 0; length < in.size(); ++length) {
    const StubLayoutResult result = LayOutStub(std::span(in.data(), length));
    EXPECT_FALSE(result.error.empty()) << "length " << length;
  }
}

// Corrupt header bytes either are refused or give an image that still keeps the settings block's range free.
TEST(StubLayout, CorruptHeadersAreRefusedOrLaidOutSoundly) {
  std::mt19937 random(12345);
  const Bytes& in = Fixture();
  const uint32_t headersEnd = Locate(in).sectionTableEnd;
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes f = in;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) f[random() % headersEnd] = static_cast<uint8_t>(random());
    const StubLayoutResult result = LayOutStub(f);
    if (!result.error.empty()) continue;
    ++accepted;
    ASSERT_EQ(LayoutViolation(result.image), "") << "round " << round;
  }
  EXPECT_GT(accepted, 0) << "most flips hit padding; some inputs must pass";

  for (int round = 0; round < 200; ++round) {
    Bytes garbage(random() % 2048);
    for (uint8_t& b : garbage) b = static_cast<uint8_t>(random());
    if (garbage.size() >= 64 && round % 2 == 0) {
      garbage[0] = 'M';
      garbage[1] = 'Z';
      WriteU32(garbage.data() + 0x3C, static_cast<uint32_t>(random() % garbage.size()));
    }
    EXPECT_FALSE(LayOutStub(garbage).error.empty()) << "round " << round;
  }
}

TEST(StubLayout, BuiltStubKeepsTheSettingsBlockFree) {
  const char* fromEnvironment = std::getenv("SFX_STUB");
  const std::string path =
      fromEnvironment != nullptr ? fromEnvironment : std::string(SFX_BUILD_DIR) + "/../win32/sfx.exe";
  const Bytes stub = ReadFile(path);
  if (stub.empty()) GTEST_SKIP() << "no built stub at " << path;
  EXPECT_EQ(LayoutViolation(stub), "") << path;
}

}  // namespace
