// Host user interface: message boxes, labels, the pump and the dialog answered from a script and recorded.
#include "platform/platform.h"
#include "platform/posix/host_state.h"

MessageAnswer ShowMessageBox(WindowHandle owner, const char* text, const char* caption, MessageStyle style) {
  host::HostState& state = host::State();
  state.messages.push_back({owner, text, caption, style});
  if (!state.answers.empty()) {
    const MessageAnswer answer = state.answers.front();
    state.answers.erase(state.answers.begin());
    return answer;
  }
  const bool question = style == MessageStyle::QuestionYesNo || style == MessageStyle::QuestionYesNoCancel;
  return question ? MessageAnswer::Yes : MessageAnswer::Ok;
}

void SetControlText(WindowHandle dialog, int controlId, const char* text) {
  host::State().labels.push_back({dialog, controlId, text});
}

void PumpMessages(WindowHandle) {
  host::HostState& state = host::State();
  const uint32_t index = state.pumpCount++;
  if (state.pumpHook != nullptr) state.pumpHook(index);
}

intptr_t RunInstallDialog() {
  host::HostState& state = host::State();
  ++state.dialogCount;
  return state.dialogHook != nullptr ? state.dialogHook() : 0;
}
