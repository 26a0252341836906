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

HWND TopWindowOf(HWND window) { return window ? GetAncestor(window, GA_ROOT) : nullptr; }

// Brings the window to the front when the dialog left another one active:
// the keys go to the front window, whichever it is. False when it cannot.
bool IsBroughtToFront(HWND window) {
    if (!window) return false;
    if (GetForegroundWindow() != window) SetForegroundWindow(window);
    return GetForegroundWindow() == window;
}

// Asks for a map, stores it and sends Control-T to the client.
void RunMapSelection() {
    ModuleState& state = g_state;
    // A relative data folder of the framework's means the client's program
    // folder. The anchor and editorIni are copies: a restart of the module
    // (event 0) may come through the dialog's message loop with other
    // folders, or none, and the map must go where it was read from; the new
    // folders count from the next selection on.
    const CurrentFolderAnchor clientFolder(state.clientRoot);
    if (state.clientDataRoot.empty()) {
        Speak("Tarnwick: Error - Unable to find Veldara folder.");
        return;
    }
    const std::string editorIni = state.mapPointerPath;
    // The player pressed the key here: without an owner, the dialog's close
    // may activate any other window, and the keys must come back here.
    const HWND pressedIn = TopWindowOf(GetFocus());
    const std::wstring chosen = ChooseMapFile(ReadMapPointer(editorIni));
    if (chosen.empty()) {
        Speak("Tarnwick: Canceled. Dream not uploaded.");
        return;
    }
    clientFolder.Return();  // the dialog moved it
    const ClientPaths paths = ClientPathsOf(chosen);
    WriteMapPointer(editorIni, paths.mapValue);
    const HWND owner = LiveClientWindow();
    const bool keysReachTheClient = IsBroughtToFront(owner ? TopWindowOf(owner) : pressedIn);
    // Keys that would reach another window stay unsent; the player's own
    // Control-T then passes once, as when ours never comes back.
    Speak("Tarnwick: New dream file is " + paths.chatText +
          (keysReachTheClient ? "" : ". Press Control-T to upload it."));
    // Only now: had the write failed, the player's next Control-T must ask again.
    state.selfSentUpload = true;
    if (keysReachTheClient) SendKeyCombo(kVirtualKeyT, kControl, false);
}

}  // namespace

int32_t SelectThenAnswer(int32_t answer) noexcept {
    // With no owner window the client still gets keys while the dialog is
    // open; one dialog at a time.
    if (g_state.selectionRunning) return answer;
    SelectionMark mark;
    RunReported(RunMapSelection);
    return answer;
}
