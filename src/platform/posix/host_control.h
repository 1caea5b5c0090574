// Controls of the host platform for tests and the builder: scripted answers, settings, and recorded calls.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace host {

struct RecordedMessage {
  WindowHandle owner;
  std::string text;
  std::string caption;
  MessageStyle style;
};

struct RecordedLabel {
  WindowHandle dialog;
  int controlId;
  std::string text;
};

// Back to defaults: no records, no scripted answers, no injected failures, default directories.
void Reset();

void SetModulePath(const std::string& path);
void SetWindowsDirectory(const std::string& path);   // default "C:\WINDOWS"
void SetSystemDirectory(const std::string& path);    // default "C:\WINDOWS\SYSTEM"
void SetCurrentDirectory(const std::string& path);   // default: the process's real working directory
void SetEnvironmentValue(const std::string& name, const std::string& value);  // shadows the real environment
void ClearEnvironmentValue(const std::string& name);                           // reads as unset
void SetSearchResult(const std::string& fileName, const std::string& foundPath);
void SetMaxComponentLength(uint32_t length);         // default 255
void SetWin32s(bool on);
void UseShiftJisLeadBytes(bool on);                  // default: single-byte code page

// Message boxes take answers from this queue; with none queued an error box answers Ok, a question Yes.
void QueueAnswer(MessageAnswer answer);
const std::vector<RecordedMessage>& Messages();
const std::vector<RecordedLabel>& Labels();

// Called at the start of every PumpMessages, with the count of earlier pumps.
void SetPumpHook(void (*hook)(uint32_t pumpIndex));
uint32_t PumpCount();

// RunInstallDialog calls the hook (if any) and returns its result; without one it returns 0.
void SetDialogHook(intptr_t (*hook)());
uint32_t DialogCount();

// EndProcess calls the hook (which must not return, e.g. it longjmps) instead of exiting; null restores exit.
void SetEndProcessHook(void (*hook)(int status));

// Injected failures. The count says how many calls succeed first; -1 turns the failure off.
void FailAllocationAfter(int successfulCalls);
// Writes accept at most this many more bytes in all, then fall short; -1 turns it off.
void LimitWrittenBytes(int64_t bytes);

}  // namespace host
