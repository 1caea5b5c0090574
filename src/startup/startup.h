// The entry sequence: from the settings block through the scan to the install dialog.
#pragma once
#include "platform/platform.h"

// Runs start-up for the program at instance; returns the exit status.
int RunInstaller(ModuleHandle instance);
// Fills Settings from the program's own file and derives WindowTitle and InstallTitle.
void ReadSettings();
// Sets the behaviour flags from SettingsFlags.
void DeriveBehaviourFlags();
