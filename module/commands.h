// The player's chat commands and the module's information text.
#pragma once

#include <cstdint>

// Toggles a key switch for "TW-F12" or "TW-CTRLT"; KS_TAKEN when the command
// was ours, KS_PASS_ON otherwise.
int32_t RunChatCommand(int32_t argc, const char* const* argv);

void PrintInformation();
