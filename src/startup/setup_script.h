// The "$" setup script: lines of "$Key=value" that override titles, directory, command and behaviour flags.
#pragma once

// Interprets the whole of ScriptText.
void RunSetupScript();
