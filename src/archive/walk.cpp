// The walk over the appended archive: set-up, the header loop, both passes, and the end of the walk.
#include "archive/walk.h"

#include <cstring>

#include "archive/crc16.h"
#include "archive/entry_header.h"
#include "archive/volume.h"
#include "decode/decoder.h"
#include "startup/errors.h"
#include "startup/question.h"
#include "startup/setup_script.h"
#include "startup/work_area.h"

namespace {

enum class Step { Next, Stop };

bool Report(const char* message, const char* path) {
  ShowError(message, path);
  Work->ErrorFlag = 1;
  return false;
}

void ReleaseHeader() {
  if (Work->HeaderBuffer != nullptr) ReleaseMemory(Work->HeaderBuffer);
  Work->HeaderBuffer = nullptr;
}

bool OpenArchive() {
  Work->ArchiveFile = OpenFileForReading(Work->ModulePath);
  if (!IsOpenFile(Work->ArchiveFile)) {
    Work->ArchiveFile = NoFile;
    return ReportOpenError(Work->ModulePath);
  }
  Work->ArchiveLength = static_cast<uint32_t>(SeekFile(Work->ArchiveFile, 0, SeekOrigin::End));
  const int32_t start = SeekFile(Work->ArchiveFile, Work->Settings.ArchiveOffset, SeekOrigin::Start);
  if (start == -1) return ReportReadError();
  if (static_cast<uint32_t>(start) > Work->ArchiveLength) return ReportUnexpectedEof();
  return true;
}

void CloseArchive() {
  if (IsOpenFile(Work->ArchiveFile)) CloseReadFile(Work->ArchiveFile);
  Work->ArchiveFile = NoFile;
}

bool NameIs(const char* name) { return std::strcmp(Work->EntryName, name) == 0; }

// The "!" and "$" entries are captured as text in the scan; every other entry's data is passed over.
Step ScanEntry() {
  CheckAccumulator ^= ReadU16(Work->HeaderBuffer + DataCrcOffset);
  if (NameIs("!")) {
    Work->CaptureMode = CapturePrompt;
  } else if (NameIs("$")) {
    Work->CaptureMode = CaptureScript;
  } else {
    return SkipEntryData() ? Step::Next : Step::Stop;
  }
  Work->OutputFile = NoFile;
  DecodeEntryData();
  if (Work->ErrorFlag != 0) {
    Work->CaptureMode = CaptureNone;
    return Step::Stop;
  }
  if (Work->CaptureMode == CapturePrompt) AskQuestion();
  if (Work->CaptureMode == CaptureScript) RunSetupScript();
  Work->CaptureMode = CaptureNone;
  return Step::Next;
}

// The installer's own entries are never written out; every other entry's data is passed over for now.
Step ExtractEntry() { return SkipEntryData() ? Step::Next : Step::Stop; }

}  // namespace

bool ReportReadError() { return Report(MsgReadError, Work->ModulePath); }
bool ReportUnexpectedEof() { return Report(MsgUnexpectedEof, Work->ModulePath); }
bool ReportBadHeader() { return Report(MsgBadHeader, Work->ModulePath); }
bool ReportOpenError(const char* path) { return Report(MsgOpenError, path); }

void DecodeEntryData() {
  Work->RunningCrc = 0;
  Work->InputPos = 0xFFFFFFFF;
  const char method = static_cast<char>(Work->HeaderBuffer[MethodCharOffset]);
  if (method == MethodStored) {
    CopyStored(ReadU32(Work->HeaderBuffer + UncompressedSizeOffset));
  } else if (method != MethodDirectory) {
    DecodeEntry();
  }
}

bool SkipEntryData() {
  // The target is computed in 64 bits: a huge size must not wrap into a backward seek that re-reads a header.
  const int32_t current = SeekFile(Work->ArchiveFile, 0, SeekOrigin::Current);
  if (current == -1) return ReportReadError();
  const uint64_t target = static_cast<uint64_t>(current) + ReadU32(Work->HeaderBuffer + CompressedSizeOffset);
  if (target > Work->ArchiveLength) return ReportUnexpectedEof();
  if (SeekFile(Work->ArchiveFile, static_cast<int32_t>(target), SeekOrigin::Start) == -1) return ReportReadError();
  return true;
}

bool WalkArchive(WindowHandle dialog, Pass pass) {
  Work->DialogWindow = dialog;
  Work->ErrorFlag = 0;
  if (!OpenArchive()) {
    CloseArchive();
    return false;
  }
  QueryMaxComponentLength();
  if (Work->Settings.SettingsFlags & FlagCheckWord) {
    uint8_t word[2] = {};
    ReadFile(Work->ArchiveFile, word, sizeof word);
    Work->CheckWord = ReadU16(word);
  }
  BuildCrcTable(Work->CrcTable);
  CheckAccumulator = 0;

  for (;;) {
    ReleaseHeader();
    if (ReadEntryHeader() != HeaderResult::Entry) break;
    const Step step = pass == Pass::Scan ? ScanEntry() : ExtractEntry();
    if (step == Step::Stop) break;
  }

  CloseArchive();
  if (pass == Pass::Scan && Work->ErrorFlag == 0 && (Work->Settings.SettingsFlags & FlagCheckWord) &&
      CheckAccumulator != Work->CheckWord) {
    Report(MsgTamperedData, Work->ModulePath);
  }
  ReleaseHeader();
  return Work->ErrorFlag == 0;
}
