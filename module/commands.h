// The player's chat commands and the module's information text.
#pragma once

#include <cstdint>

// Toggles a key switch for "TW-F12" or "TW-CTRLT" and says so. answer becomes
// KS_TAKEN as soon as the command is known to be ours, so that it stays ours
// when the line cannot be made; the switch changes only with its line.
void RunChatCommand(int32_t argc, const char* const* argv, int32_t& answer);

void PrintInformation();
