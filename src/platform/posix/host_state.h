// The host platform's one state record, shared by its implementation files.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/posix/host_control.h"

namespace host {

struct HostState {
  std::string modulePath;
  std::string windowsDirectory = "C:\\WINDOWS";
  std::string systemDirectory = "C:\\WINDOWS\\SYSTEM";
  std::string currentDirectory;  // empty: the process's real one
  std::map<std::string, std::string> environment;
  std::map<std::string, bool> environmentCleared;
  std::map<std::string, std::string> searchResults;
  uint32_t maxComponentLength = 255;
  bool win32s = false;
  bool shiftJis = false;
  std::vector<MessageAnswer> answers;
  std::vector<RecordedMessage> messages;
  std::vector<RecordedLabel> labels;
  void (*pumpHook)(uint32_t) = nullptr;
  uint32_t pumpCount = 0;
  intptr_t (*dialogHook)() = nullptr;
  uint32_t dialogCount = 0;
  void (*endProcessHook)(int) = nullptr;
  int allocationsLeft = -1;
  int64_t writableBytes = -1;
};

HostState& State();

}  // namespace host
