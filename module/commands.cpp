#include "commands.h"

#include <string>

#include "../host/kessrig.h"
#include "../resources/string_ids.h"
#include "host_link.h"
#include "state.h"
#include "tarnwick_version.h"
#include "text.h"

namespace {

void AnnounceSwitch(const char* key, bool enabled) {
    Speak(std::string("Tarnwick: ") + key + " is " + (enabled ? "Enabled" : "Disabled"));
}

void ToggleF12() {
    g_state.f12Enabled = !g_state.f12Enabled;
    AnnounceSwitch("F12", g_state.f12Enabled);
}

void ToggleControlT() {
    g_state.controlTEnabled = !g_state.controlTEnabled;
    AnnounceSwitch("Control-T", g_state.controlTEnabled);
}

// The chat commands: the word in the string table, and what it does. The
// information text lists the words from here, in this order.
struct ChatCommand {
    unsigned wordId;
    void (*run)();
};
constexpr ChatCommand kChatCommands[] = {
    {IDS_COMMAND_F12, ToggleF12},
    {IDS_COMMAND_CTRLT, ToggleControlT},
};

std::string CommandsLine() {
    std::string line = "Tarnwick: Commands: ";
    for (const ChatCommand& command : kChatCommands)
        line += (&command == kChatCommands ? "@" : ", @") + LoadText(command.wordId);
    return line;
}

}  // namespace

int32_t RunChatCommand(int32_t argc, const char* const* argv) {
    if (argc <= 0 || argv == nullptr || argv[0] == nullptr) return KS_PASS_ON;
    const std::string word = UpperCaseAscii(argv[0]);
    for (const ChatCommand& command : kChatCommands) {
        if (word != LoadText(command.wordId)) continue;
        command.run();
        return KS_TAKEN;
    }
    return KS_PASS_ON;
}

void PrintInformation() {
    Speak("Tarnwick: A module to help people with more than one dream they wish to upload.");
    Speak("Tarnwick: Version " TARNWICK_VERSION_TEXT ", Created by Tovin.");
    Speak(CommandsLine());
    Speak(ActiveKeysLine(g_state.f12Enabled, g_state.controlTEnabled));
}
