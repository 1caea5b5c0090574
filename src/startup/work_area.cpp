// The process-wide variables beside the work area.
#include "startup/work_area.h"

WorkArea* Work = nullptr;
ModuleHandle InstanceHandle = nullptr;
bool RunningOnWin32s = false;
bool AutoStart = false;
bool OverwriteWithoutAsking = false;
bool SkipNotOlder = false;
bool KeepControlsEnabled = false;
uint16_t CheckAccumulator = 0;
uint32_t MaxComponentLength = 0;
