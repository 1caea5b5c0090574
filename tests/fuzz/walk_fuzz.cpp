// Fuzzes the scan of an archive and the decoding of every entry in it, over arbitrary bytes.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "archive/crc16.h"
#include "archive/entry_header.h"
#include "archive/walk.h"
#include "common/text.h"
#include "platform/posix/host_control.h"
#include "startup/work_area.h"

namespace {

// Larger entries only decode zeros for longer; they add time, not coverage.
constexpr uint32_t MaxDecodedSize = 1 << 20;

std::jmp_buf Aborted;
[[noreturn]] void CatchEnd(int) { std::longjmp(Aborted, 1); }

const std::string& ImagePath() {
  static const std::string path = "/dev/shm/walk-fuzz-" + std::to_string(getpid()) + ".exe";
  return path;
}

// Decodes every entry in turn, as the extraction would, into a sink that drops the bytes.
void DecodeAllEntries() {
  Work->ArchiveFile = OpenFileForReading(Work->ModulePath);
  if (!IsOpenFile(Work->ArchiveFile)) return;
  Work->ArchiveLength = static_cast<uint32_t>(SeekFile(Work->ArchiveFile, 0, SeekOrigin::End));
  SeekFile(Work->ArchiveFile, (Work->Settings.SettingsFlags & FlagCheckWord) ? 2 : 0, SeekOrigin::Start);
  BuildCrcTable(Work->CrcTable);
  while (ReadEntryHeader() == HeaderResult::Entry) {
    Work->OutputFile = NoFile;
    Work->CaptureMode = CaptureNone;
    if (ReadU32(Work->HeaderBuffer + UncompressedSizeOffset) <= MaxDecodedSize) {
      DecodeEntryData();
    } else if (!SkipEntryData()) {
      break;
    }
    ReleaseMemory(Work->HeaderBuffer);
    Work->HeaderBuffer = nullptr;
  }
}

// An abort leaves the archive open and the header held, as the ended process would.
void ReleaseAfterAbort() {
  if (IsOpenFile(Work->ArchiveFile)) CloseReadFile(Work->ArchiveFile);
  Work->ArchiveFile = NoFile;
  if (Work->HeaderBuffer != nullptr) ReleaseMemory(Work->HeaderBuffer);
  Work->HeaderBuffer = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  FILE* file = std::fopen(ImagePath().c_str(), "wb");
  std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);

  static WorkArea area;
  std::memset(&area, 0, sizeof area);
  Work = &area;
  host::Reset();
  host::SetEndProcessHook(CatchEnd);
  CopyText(Work->ModulePath, ImagePath().c_str(), sizeof Work->ModulePath);
  CopyText(Work->WindowTitle, "Fuzz", sizeof Work->WindowTitle);
  Work->Settings.SettingsFlags = data[0];

  if (setjmp(Aborted) == 0) WalkArchive(nullptr, Pass::Scan);
  ReleaseAfterAbort();
  if (setjmp(Aborted) == 0) DecodeAllEntries();
  ReleaseAfterAbort();
  return 0;
}
