#include "selection.h"

#include <windows.h>

#include "../input/keystrokes.h"
#include "../module/host_link.h"
#include "../module/scoped_win.h"
#include "../module/state.h"
#include "chooser.h"
#include "map_pointer.h"

namespace {

constexpr uint32_t kUploadCommandId = 121;
constexpr uint32_t kFromAccelerator = 1;  // high word of a command's wParam
constexpr uint16_t kVirtualKeyT = 0x54;

bool IsUploadRequest(uint32_t wParam) { return HIWORD(wParam) == kFromAccelerator && LOWORD(wParam) == kUploadCommandId; }

// Clears the running mark however the selection ends.
class SelectionMark {
public:
    SelectionMark() { g_state.selectionRunning = true; }
    ~SelectionMark() { g_state.selectionRunning = false; }
    SelectionMark(const SelectionMark&) = delete;
    SelectionMark& operator=(const SelectionMark&) = delete;
};

void RunReportedSelection() noexcept {
    // With no owner window the client still gets keys while the dialog is
    // open; one dialog at a time.
    if (g_state.selectionRunning) return;
    SelectionMark mark;
    RunReported(RunMapSelection);
}

int32_t HandleKeyDown(uint32_t wParam) noexcept {
    if (wParam == VK_F12 && g_state.f12Enabled) RunReportedSelection();
    return KS_PASS_ON;  // the client sees F12 as well
}

int32_t HandleCommand(HostMessage& message) noexcept {
    ModuleState& state = g_state;
    if (IsUploadRequest(message.wParam) && !state.selfSentUpload) {
        if (!state.controlTEnabled) return KS_PASS_ON;
        message.result = 0;
        RunReportedSelection();
        return KS_TAKEN;
    }
    // Our own Control-T came back (or never will): let exactly this one through.
    state.selfSentUpload = false;
    return KS_PASS_ON;
}

}  // namespace

int32_t HandleKeyOrCommand(HostMessage& message) noexcept {
    return message.message == WM_KEYDOWN ? HandleKeyDown(message.wParam) : HandleCommand(message);
}

void RunMapSelection() {
    ModuleState& state = g_state;
    // The dialog may leave the current folder anywhere, and so may an error.
    CurrentFolderRestorer restorer(state.clientRoot);
    if (state.clientDataRoot.empty()) {
        Speak("Tarnwick: Error - Unable to find Veldara folder.");
        return;
    }
    const std::string chosen = ChooseMapFile(ReadMapPointer());
    if (chosen.empty()) {
        Speak("Tarnwick: Canceled. Dream not uploaded.");
        return;
    }
    SetCurrentDirectoryA(state.clientRoot.c_str());
    WriteMapPointer(chosen);
    Speak("Tarnwick: New dream file is " + chosen);
    state.selfSentUpload = true;
    SendKeyCombo(kVirtualKeyT, kControl, false);
}
