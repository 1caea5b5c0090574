// Test and builder controls of the host platform.
#include "platform/posix/host_state.h"

namespace host {

HostState& State() {
  static HostState state;
  return state;
}

void Reset() { State() = HostState{}; }
void SetModulePath(const std::string& path) { State().modulePath = path; }
void SetWindowsDirectory(const std::string& path) { State().windowsDirectory = path; }
void SetSystemDirectory(const std::string& path) { State().systemDirectory = path; }
void SetCurrentDirectory(const std::string& path) { State().currentDirectory = path; }
void SetEnvironmentValue(const std::string& name, const std::string& value) {
  State().environment[name] = value;
  State().environmentCleared.erase(name);
}
void ClearEnvironmentValue(const std::string& name) {
  State().environment.erase(name);
  State().environmentCleared[name] = true;
}
void SetSearchResult(const std::string& fileName, const std::string& foundPath) {
  State().searchResults[fileName] = foundPath;
}
void SetMaxComponentLength(uint32_t length) { State().maxComponentLength = length; }
void SetWin32s(bool on) { State().win32s = on; }
void UseShiftJisLeadBytes(bool on) { State().shiftJis = on; }
void QueueAnswer(MessageAnswer answer) { State().answers.push_back(answer); }
const std::vector<RecordedMessage>& Messages() { return State().messages; }
const std::vector<RecordedLabel>& Labels() { return State().labels; }
void SetPumpHook(void (*hook)(uint32_t)) { State().pumpHook = hook; }
uint32_t PumpCount() { return State().pumpCount; }
void SetDialogHook(intptr_t (*hook)()) { State().dialogHook = hook; }
uint32_t DialogCount() { return State().dialogCount; }
void SetEndProcessHook(void (*hook)(int)) { State().endProcessHook = hook; }
void FailAllocationAfter(int successfulCalls) { State().allocationsLeft = successfulCalls; }
void LimitWrittenBytes(int64_t bytes) { State().writableBytes = bytes; }

}  // namespace host
