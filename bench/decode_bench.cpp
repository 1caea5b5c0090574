// Decodes every entry of an LZH archive with our core into a sink file, checking each data crc: the
// decode benchmark's counterpart of `lhasa pq` and `7zz e -so`. Headers are read in place, as the walk
// reads them, so the archive is streamed once from the file. An OUTPUT of "-" drops the data unwritten
// and unchecked, which times the decoder without the sink.
#include <cstdio>
#include <cstring>
#include <memory>

#include "archive/crc16.h"
#include "archive/format.h"
#include "common/text.h"
#include "decode/decoder.h"
#include "platform/posix/host_control.h"
#include "startup/work_area.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: decode_bench ARCHIVE OUTPUT\n");
    return 2;
  }
  host::Reset();
  auto area = std::make_unique<WorkArea>();
  Work = area.get();
  CopyText(Work->ModulePath, argv[1], sizeof Work->ModulePath);
  CopyText(Work->OutputPath, argv[2], sizeof Work->OutputPath);
  BuildCrcTable(Work->CrcTable);
  Work->ArchiveFile = OpenFileForReading(argv[1]);
  const bool dropOutput = std::strcmp(argv[2], "-") == 0;
  Work->OutputFile = dropOutput ? NoFile : CreateOutputFile(argv[2]);
  Work->CaptureMode = CaptureNone;
  if (!IsOpenFile(Work->ArchiveFile) || (!dropOutput && !IsOpenFile(Work->OutputFile))) {
    std::fprintf(stderr, "decode_bench: cannot open the files\n");
    return 2;
  }
  static uint8_t header[65536];
  int failures = 0;
  for (;;) {
    if (ReadFile(Work->ArchiveFile, header, 2) != 2) break;
    const uint16_t headerSize = ReadU16(header);
    if (headerSize < FixedHeaderSize) break;
    if (ReadFile(Work->ArchiveFile, header + 2, headerSize - 2u) != headerSize - 2) {
      std::fprintf(stderr, "decode_bench: short header\n");
      return 2;
    }
    Work->HeaderBuffer = header;
    Work->InputPos = 0xFFFFFFFF;
    const char method = static_cast<char>(header[MethodCharOffset]);
    if (method == MethodDirectory) continue;
    if (method == MethodStored) {
      CopyStored(ReadU32(header + UncompressedSizeOffset));
    } else {
      DecodeEntry();
    }
    if (!dropOutput && Work->RunningCrc != ReadU16(header + DataCrcOffset)) {
      std::fprintf(stderr, "decode_bench: CRC ERROR\n");
      ++failures;
    }
  }
  Work->HeaderBuffer = nullptr;
  if (!dropOutput) CloseOutputFile(Work->OutputFile);
  CloseReadFile(Work->ArchiveFile);
  return failures == 0 ? 0 : 1;
}
