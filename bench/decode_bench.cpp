// Decodes every entry of an LZH archive with our core into a sink file, checking each data crc: the
// decode benchmark's counterpart of `lhasa pq` and `7zz e -so`.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "archive/crc16.h"
#include "archive_reader.h"
#include "common/text.h"
#include "decode/decoder.h"
#include "platform/posix/host_control.h"
#include "startup/work_area.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: decode_bench ARCHIVE OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::vector<ParsedEntry> entries = ReadArchiveHeaders(archive);

  host::Reset();
  auto area = std::make_unique<WorkArea>();
  Work = area.get();
  CopyText(Work->ModulePath, argv[1], sizeof Work->ModulePath);
  CopyText(Work->OutputPath, argv[2], sizeof Work->OutputPath);
  BuildCrcTable(Work->CrcTable);
  Work->ArchiveFile = OpenFileForReading(argv[1]);
  Work->OutputFile = CreateOutputFile(argv[2]);
  if (!IsOpenFile(Work->ArchiveFile) || !IsOpenFile(Work->OutputFile)) {
    std::fprintf(stderr, "decode_bench: cannot open the files\n");
    return 2;
  }
  int failures = 0;
  for (const ParsedEntry& entry : entries) {
    // The data follows the header; each decode leaves the file at the next header.
    SeekFile(Work->ArchiveFile, static_cast<int32_t>(entry.Offset + entry.HeaderSize), SeekOrigin::Start);
    Work->HeaderBuffer = const_cast<uint8_t*>(&archive[entry.Offset]);
    Work->InputPos = 0xFFFFFFFF;
    const char method = entry.MethodId[3];
    if (method == MethodDirectory) continue;
    if (method == MethodStored) {
      CopyStored(entry.UncompressedSize);
    } else {
      DecodeEntry();
    }
    if (Work->RunningCrc != entry.DataCrc) {
      std::fprintf(stderr, "decode_bench: CRC ERROR in %s\n", entry.FileName.c_str());
      ++failures;
    }
  }
  Work->HeaderBuffer = nullptr;
  CloseOutputFile(Work->OutputFile);
  CloseReadFile(Work->ArchiveFile);
  return failures == 0 ? 0 : 1;
}
