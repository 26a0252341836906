// The player's chat commands and the module's information text.
#pragma once

#include <cstdint>

// Runs the command that the first word names, in any case ("TW-F12" toggles
// F12, "TW-CTRLT" Control-T), and says so. answer becomes KS_TAKEN as soon as
// the command is known to be ours, so that it stays ours when its line
// cannot be made; a switch changes only with its line.
void RunChatCommand(int32_t argc, const char* const* argv, int32_t& answer);

void PrintInformation();
