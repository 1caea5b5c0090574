// The error message box and the fatal abort.
#include "startup/errors.h"

#include "common/text.h"
#include "startup/work_area.h"

void ShowError(const char* message, const char* path) {
  char* text = Work->ScratchText;
  CopyText(text, "\"", sizeof Work->ScratchText);
  AppendText(text, path, sizeof Work->ScratchText);
  AppendText(text, "\" ", sizeof Work->ScratchText);
  AppendText(text, message, sizeof Work->ScratchText);
  ShowMessageBox(Work->DialogWindow, text, Work->WindowTitle, MessageStyle::Error);
}

void ShowOutOfMemory() {
  ShowMessageBox(Work->DialogWindow, MsgNotEnoughMemory, Work->WindowTitle, MessageStyle::Error);
}

void FatalAbort(int status) {
  if (IsOpenFile(Work->OutputFile)) {
    CloseOutputFile(Work->OutputFile);
    DeleteFileAt(Work->OutputPath);
  }
  if (IsOpenFile(Work->ArchiveFile)) CloseReadFile(Work->ArchiveFile);
  Work->OutputFile = NoFile;
  Work->ArchiveFile = NoFile;
  EndProcess(status);
}
