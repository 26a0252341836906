#include "commands.h"

#include <string>

#include "../host/kessrig.h"
#include "../resources/string_ids.h"
#include "host_link.h"
#include "state.h"
#include "tarnwick_version.h"
#include "text.h"

namespace {

void ToggleAndAnnounce(const char* key, bool& enabled) {
    const std::string line = std::string("Tarnwick: ") + key + " is " + (enabled ? "Disabled" : "Enabled");
    enabled = !enabled;
    Speak(line);
}

}  // namespace

void RunChatCommand(int32_t argc, const char* const* argv, int32_t& answer) {
    if (argc <= 0 || argv == nullptr || argv[0] == nullptr) return;
    const std::string word = UpperCaseAscii(argv[0]);
    ModuleState& state = g_state;
    bool* const enabled = word == LoadText(IDS_COMMAND_F12)     ? &state.f12Enabled
                          : word == LoadText(IDS_COMMAND_CTRLT) ? &state.controlTEnabled
                                                                : nullptr;
    if (!enabled) return;
    answer = KS_TAKEN;
    ToggleAndAnnounce(enabled == &state.f12Enabled ? "F12" : "Control-T", *enabled);
}

void PrintInformation() {
    Speak("Tarnwick: A module to help people with more than one dream they wish to upload.");
    Speak("Tarnwick: Version " TARNWICK_VERSION_TEXT ", Created by Tovin.");
    Speak("Tarnwick: Commands: @TW-F12, @TW-CTRLT");
    Speak(ActiveKeysLine(g_state.f12Enabled, g_state.controlTEnabled));
}
