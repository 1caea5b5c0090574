// Re-lays out a linked stub so that the settings block's file range belongs to no header or program.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct StubLayoutResult {
  std::vector<uint8_t> image;  // the re-laid-out file; empty when error is set
  std::string error;           // why the file was refused; empty on success
};

// Takes a PE32 i386 image as the linker wrote it (or as this function already left it) and returns it with
// the DOS stub program and the PE headers moved behind the settings block, the bytes from the DOS header's
// end up to there zeroed, and every file offset that depends on the move fixed.
StubLayoutResult LayOutStub(std::span<const uint8_t> file);
