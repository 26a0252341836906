#include "selection.h"

#include <windows.h>

#include "../input/keystrokes.h"
#include "../module/host_link.h"
#include "../module/scoped_win.h"
#include "../module/state.h"
#include "chooser.h"
#include "map_pointer.h"

namespace {

constexpr uint16_t kVirtualKeyT = 0x54;

// Clears the running mark however the selection ends.
class SelectionMark {
public:
    SelectionMark() { g_state.selectionRunning = true; }
    ~SelectionMark() { g_state.selectionRunning = false; }
    SelectionMark(const SelectionMark&) = delete;
    SelectionMark& operator=(const SelectionMark&) = delete;
};

}  // namespace

int32_t SelectThenAnswer(int32_t answer) noexcept {
    // With no owner window the client still gets keys while the dialog is
    // open; one dialog at a time.
    if (g_state.selectionRunning) return answer;
    SelectionMark mark;
    RunReported(RunMapSelection);
    return answer;
}

void RunMapSelection() {
    ModuleState& state = g_state;
    // The dialog may leave the current folder anywhere, and so may an error.
    CurrentFolderRestorer restorer(state.clientRoot);
    if (state.clientDataRoot.empty()) {
        Speak("Tarnwick: Error - Unable to find Veldara folder.");
        return;
    }
    const std::wstring chosen = ChooseMapFile(ReadMapPointer());
    if (chosen.empty()) {
        Speak("Tarnwick: Canceled. Dream not uploaded.");
        return;
    }
    SetCurrentDirectoryA(state.clientRoot.c_str());
    WriteMapPointer(ClientPathOf(chosen));
    Speak("Tarnwick: New dream file is " + ChatTextOf(chosen));
    // Only now: had the write failed, the player's next Control-T must ask again.
    state.selfSentUpload = true;
    SendKeyCombo(kVirtualKeyT, kControl, false);
}
