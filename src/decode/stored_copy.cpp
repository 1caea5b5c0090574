// The stored copy of -lh0- entries: the archive's bytes straight into the output sink, a window at a time.
#include "archive/sink.h"
#include "decode/bit_reader.h"
#include "decode/decoder.h"
#include "startup/work_area.h"

// The size is unsigned, so entries of 2 GiB and more are copied in full.
void CopyStored(uint32_t size) {
  WorkArea& w = *Work;
  w.RunningCrc = 0;
  uint32_t left = size;
  while (left > 0) {
    uint32_t chunk = left < WindowBytes ? left : WindowBytes;
    if (ReadFile(w.ArchiveFile, w.Window, chunk) != static_cast<int32_t>(chunk)) AbortOnReadError();
    WriteSink(w.Window, chunk);
    // The progress shown lags one chunk behind: it counts the bytes copied before this one.
    if (IsOpenFile(w.OutputFile)) ShowProgress(size - left, size);
    left -= chunk;
  }
}
