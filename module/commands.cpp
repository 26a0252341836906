#include "commands.h"

#include <string>

#include "../host/kessrig.h"
#include "../resources/string_ids.h"
#include "host_link.h"
#include "state.h"
#include "tarnwick_version.h"
#include "text.h"

namespace {

// The line is made first: out of memory, the switch stays as it was.
void ToggleAndAnnounce(const char* key, bool& enabled) {
    const std::string line = std::string("Tarnwick: ") + key + " is " + (enabled ? "Disabled" : "Enabled");
    enabled = !enabled;
    Speak(line);
}

void ToggleF12() { ToggleAndAnnounce("F12", g_state.f12Enabled); }

void ToggleControlT() { ToggleAndAnnounce("Control-T", g_state.controlTEnabled); }

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

void RunChatCommand(int32_t argc, const char* const* argv, int32_t& answer) {
    if (argc <= 0 || argv == nullptr || argv[0] == nullptr) return;
    const std::string word = UpperCaseAscii(argv[0]);
    for (const ChatCommand& command : kChatCommands) {
        if (word != LoadText(command.wordId)) continue;
        answer = KS_TAKEN;
        command.run();
        return;
    }
}

void PrintInformation() {
    Speak("Tarnwick: A module to help people with more than one dream they wish to upload.");
    Speak("Tarnwick: Version " TARNWICK_VERSION_TEXT ", Created by Tovin.");
    Speak(CommandsLine());
    Speak(ActiveKeysLine(g_state.f12Enabled, g_state.controlTEnabled));
}
