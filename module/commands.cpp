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

}  // namespace

int32_t RunChatCommand(int32_t argc, const char* const* argv) {
    if (argc <= 0 || argv == nullptr || argv[0] == nullptr) return KS_PASS_ON;
    const std::string word = UpperCaseAscii(argv[0]);
    ModuleState& state = g_state;
    if (word == LoadText(IDS_COMMAND_F12)) {
        state.f12Enabled = !state.f12Enabled;
        AnnounceSwitch("F12", state.f12Enabled);
        return KS_TAKEN;
    }
    if (word == LoadText(IDS_COMMAND_CTRLT)) {
        state.controlTEnabled = !state.controlTEnabled;
        AnnounceSwitch("Control-T", state.controlTEnabled);
        return KS_TAKEN;
    }
    return KS_PASS_ON;
}

void PrintInformation() {
    Speak("Tarnwick: A module to help people with more than one dream they wish to upload.");
    Speak("Tarnwick: Version " TARNWICK_VERSION_TEXT ", Created by Tovin.");
    Speak("Tarnwick: Commands: @TW-F12, @TW-CTRLT");
    Speak(ActiveKeysLine(g_state.f12Enabled, g_state.controlTEnabled));
}
