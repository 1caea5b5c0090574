// The entry sequence: work area, settings, the scan of the archive, the destination, the install dialog.
#include "startup/startup.h"

#include "archive/walk.h"
#include "paths/macros.h"
#include "startup/errors.h"
#include "startup/work_area.h"

int RunInstaller(ModuleHandle instance) {
  RunningOnWin32s = IsRunningOnWin32s();
  InstanceHandle = instance;
  Work = static_cast<WorkArea*>(AllocateZeroed(sizeof(WorkArea)));
  if (Work == nullptr) {
    ShowMessageBox(nullptr, MsgNotEnoughMemory, DefaultTitle, MessageStyle::Error);
    return 0;
  }
  AutoStart = false;
  KeepControlsEnabled = false;
  SkipNotOlder = false;
  GetModulePath(InstanceHandle, Work->ModulePath, sizeof Work->ModulePath);
  ReadSettings();
  DeriveBehaviourFlags();
  if (!WalkArchive(nullptr, Pass::Scan)) return 0;

  char* installDir = Work->Settings.InstallDir;
  ExpandDirectoryMacro(installDir, "");
  if (installDir[0] == 0) {
    // A directory that does not fit leaves the field empty rather than half-filled.
    if (GetCurrentDirectoryPath(installDir, sizeof Work->Settings.InstallDir) >= sizeof Work->Settings.InstallDir)
      installDir[0] = 0;
  }
  const intptr_t result = RunInstallDialog();
  ReleaseMemory(Work);
  Work = nullptr;
  return static_cast<int>(result);
}
