#include "keystrokes.h"

#include <windows.h>

namespace {

bool IsHeld(int virtualKey) { return GetAsyncKeyState(virtualKey) & 0x8000; }

// The keys that the player holds right now: the held bit, not the one for
// "pressed since last asked", which a Shift typed in the dialog leaves set.
std::vector<HeldKey> HeldKeysNow() {
    std::vector<HeldKey> held;
    for (const HeldKey& key : kReleasableKeys) {
        if (IsHeld(key.virtualKey)) held.push_back(key);
    }
    return held;
}

// Whether the events let go of an Alt that the player holds.
bool LetsGoOfAlt(const std::vector<KeyEvent>& events) {
    for (const KeyEvent& event : events) {
        if ((event.virtualKey == VK_LMENU || event.virtualKey == VK_RMENU) && (event.flags & kKeyEventUp)) return true;
    }
    return false;
}

// Wine opens the window's keyboard menu when Alt is let go with nothing but
// Control pressed since Alt went down (Windows does not): the client would
// sit in the menu's loop and our Control-T never arrive. A key-up that only
// the default window procedure sees ends that pending Alt tap; it sends
// nothing to the client.
void EndPendingAltTap() {
    if (const HWND focus = GetFocus()) DefWindowProcA(focus, WM_KEYUP, 0, 0);
}

INPUT KeyInput(const KeyEvent& event) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = event.virtualKey;
    // The scan code is looked up afresh for every event, as the keyboard layout may change.
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(event.virtualKey, MAPVK_VK_TO_VSC) & 0xFF);
    input.ki.dwFlags = event.flags;
    return input;
}

}  // namespace

bool SendKeyCombo(HWND onlyInto, uint16_t key, ShiftState modifiers, bool extended) {
    const std::vector<KeyEvent> events =
        KeyComboEvents(key, modifiers, extended, HeldKeysNow(), IsHeld(key & 0xFF));
    std::vector<INPUT> inputs;
    for (const KeyEvent& event : events) inputs.push_back(KeyInput(event));
    if (LetsGoOfAlt(events)) EndPendingAltTap();
    // Decided at the last moment: any window may come to the front at any
    // time, and whatever is in front gets the keys. One SendInput keeps the
    // combination whole; separate calls would let the player's own keys in.
    if (!onlyInto || GetForegroundWindow() != onlyInto) return false;
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}
