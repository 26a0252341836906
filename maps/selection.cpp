#include <windows.h>

#include <utility>

#include "../input/keystrokes.h"
#include "../module/host_link.h"
#include "../module/message_rules.h"
#include "../module/scoped_win.h"
#include "../module/state.h"
#include "../module/text.h"
#include "chooser.h"
#include "map_pointer.h"

// The image base of this library: the handle by which it holds itself.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// How long our Control-T may take to come back as the client's upload
// command before the player is told to press it.
constexpr UINT kUploadWaitMs = 1000;

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

std::string UploadHint(const std::string& chatText) {
    return "Tarnwick: New dream file is " + chatText + ". Press Control-T to upload it.";
}

// A machine that emulates x86 runs the client several times slower; its
// test runs say by how much, and the wait stretches with them.
UINT UploadWaitMs() {
    char scale[4] = {};
    const DWORD length = GetEnvironmentVariableA("TARNWICK_TIME_SCALE", scale, sizeof scale);
    const int32_t factor = length < sizeof scale ? ParseSettingsInteger(std::string_view(scale, length)).value_or(1) : 1;
    return kUploadWaitMs * (factor > 1 ? factor : 1);
}

// Our Control-T has not come back: the mark stays, so that the player's own
// Control-T uploads the chosen map once, and the player is told to press it.
void CALLBACK UploadNotSeen(HWND, UINT, UINT_PTR, DWORD) {
    ModuleState& state = g_state;
    state.uploadWatch = {};
    if (state.selfSentUpload) RunReported([&] { Speak(UploadHint(state.chosenMapText)); });
}

void WatchForOurUpload(const std::string& chatText) {
    g_state.chosenMapText = chatText;
    g_state.uploadWatch = ScopedThreadTimer(SetTimer(nullptr, 0, UploadWaitMs(), UploadNotSeen));
}

// Sees every key message that this thread takes from its queue, the
// dialog's included, until the key that opened the selection goes up or is
// pressed anew: its repeats carry "was down" (lParam bit 30). Nothing of
// the framework's is needed for that.
LRESULT CALLBACK OpeningKeyHook(int code, WPARAM virtualKey, LPARAM flags) {
    ModuleState& state = g_state;
    constexpr LPARAM kWasDown = LPARAM(1) << 30;
    constexpr LPARAM kGoingUp = LPARAM(1) << 31;
    if (code == HC_ACTION && virtualKey == state.openingKey && (flags & (kWasDown | kGoingUp)) != kWasDown)
        state.openingKey = 0;
    const LRESULT result = CallNextHookEx(nullptr, code, virtualKey, flags);
    if (!state.openingKey) state.openingKeyWatch = {};
    return result;
}

// A repeat of the key that opened the last selection: not let go since, as
// the hook saw, and down as this thread's messages have it (a key-down that
// was posted, not pressed, finds it up).
bool IsRepeatOfOpeningKey(uint8_t key) { return g_state.openingKey == key && GetKeyState(key) < 0; }

void WatchOpeningKey(uint8_t key) {
    ModuleState& state = g_state;
    state.openingKey = key;
    if (!state.openingKeyWatch)
        state.openingKeyWatch = ScopedHook(SetWindowsHookExW(WH_KEYBOARD, OpeningKeyHook, nullptr, GetCurrentThreadId()));
    // Unwatched, a mark would hold off the player's next press for good.
    if (!state.openingKeyWatch) state.openingKey = 0;
}

// The framework may unload the library from a timer or at the end of the
// Windows session while the dialog's message loop runs on this code. A hold
// of its own keeps it loaded until the framework calls again (it holds the
// library itself then); after such an unload, until the process ends.
void PinWhileSelecting() {
    if (g_state.selectionPin) return;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&__ImageBase),
                       &g_state.selectionPin);
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
    if (chosen.empty() || state.stopRequested) {
        Speak("Tarnwick: Canceled. Dream not uploaded.");
        return;
    }
    clientFolder.Return();  // the dialog moved it
    const ClientPaths paths = ClientPathsOf(chosen);
    WriteMapPointer(editorIni, paths.mapValue);
    const HWND owner = LiveClientWindow();
    const HWND client = owner ? TopWindowOf(owner) : pressedIn;
    const bool clientInFront = IsBroughtToFront(client);
    Speak(clientInFront ? "Tarnwick: New dream file is " + paths.chatText : UploadHint(paths.chatText));
    // Only now: had the write failed, the player's next Control-T must ask again.
    // Keys that would reach another window stay unsent; the player's own
    // Control-T then passes once, as when ours never comes back.
    state.selfSentUpload = true;
    if (!clientInFront) return;
    // The line took the framework's time, and another window may have come
    // to the front meanwhile: the keys check again as they go.
    if (!SendKeyCombo(client, kVirtualKeyT, kControl, false)) {
        Speak(UploadHint(paths.chatText));
        return;
    }
    WatchForOurUpload(paths.chatText);
}

}  // namespace

int32_t SelectThenAnswer(uint8_t openingKey) noexcept {
    ModuleState& state = g_state;
    const int32_t answer = openingKey == VK_F12 ? KS_PASS_ON : KS_TAKEN;
    // With no owner window the client still gets keys while the dialog is
    // open; one dialog at a time.
    if (state.selectionRunning || IsRepeatOfOpeningKey(openingKey)) return answer;
    ReleaseSelectionPin();
    SelectionMark mark;
    state.stopRequested = false;
    state.uploadWatch = {};
    PinWhileSelecting();
    WatchOpeningKey(openingKey);
    RunReported(RunMapSelection);
    return answer;
}

void CancelSelectionForStop() {
    if (!g_state.selectionRunning) return;
    g_state.stopRequested = true;
    CancelMapFileDialog();
}

void ReleaseSelectionPin() {
    if (!g_state.selectionPin || g_state.selectionRunning) return;
    FreeLibrary(std::exchange(g_state.selectionPin, nullptr));
}
