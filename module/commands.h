// The player's chat commands and the module's information text.
#pragma once

#include <cstdint>

// Runs the command that the first word names, in any case ("TW-F12" toggles
// F12, "TW-CTRLT" Control-T); KS_TAKEN when it was ours, KS_PASS_ON otherwise.
int32_t RunChatCommand(int32_t argc, const char* const* argv);

void PrintInformation();
