// Where decoded bytes go: the output file with its running crc, or the prompt and script buffers;
// and the progress display that also lets Cancel through.
#include "archive/sink.h"

#include "archive/crc16.h"
#include "common/text.h"
#include "startup/errors.h"
#include "startup/work_area.h"

namespace {

constexpr int ProgressLabel = 102;

// Keeps the chunk's text up to its first zero byte, as much as the buffer holds; it replaces what was there.
void Capture(char* buffer, uint32_t capacity, const uint8_t* data, uint32_t length) {
  uint32_t i = 0;
  for (; i < length && i + 1 < capacity && data[i] != 0; ++i) buffer[i] = static_cast<char>(data[i]);
  buffer[i] = 0;
}

uint32_t Percentage(uint32_t done, uint32_t total) {
  if (total == 0) return 0;
  if (total / 100 == 0) return 100;
  const uint32_t percent = done / (total / 100);
  return percent > 100 ? 100 : percent;
}

}  // namespace

void WriteSink(const uint8_t* data, uint32_t length) {
  if (IsOpenFile(Work->OutputFile)) {
    uint32_t written = 0;
    if (!WriteOutputFile(Work->OutputFile, data, length, &written) || written != length) {
      ShowError(MsgWriteError, Work->OutputPath);
      FatalAbort(1);
    }
    Work->RunningCrc = UpdateCrcWide(Work->RunningCrc, data, length);
    return;
  }
  if (Work->CaptureMode == CapturePrompt) Capture(Work->ScratchText, sizeof Work->ScratchText, data, length);
  if (Work->CaptureMode == CaptureScript) Capture(Work->ScriptText, sizeof Work->ScriptText, data, length);
}

void ShowProgress(uint32_t done, uint32_t total) {
  char* text = Work->ScratchText;
  CopyText(text, "Extract... ", sizeof Work->ScratchText);
  FormatDecimal(text + 11, Percentage(done, total));
  AppendText(text, "%", sizeof Work->ScratchText);
  SetControlText(Work->DialogWindow, ProgressLabel, text);
  PumpMessages(Work->DialogWindow);
  if (Work->CancelRequested == 1) FatalAbort(1);
}
