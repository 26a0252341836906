#include "keystrokes.h"

#include <windows.h>

namespace {

// The keys that the player holds right now: the held bit, not the one for
// "pressed since last asked", which a Shift typed in the dialog leaves set.
std::vector<HeldKey> HeldKeysNow() {
    std::vector<HeldKey> held;
    for (const HeldKey& key : kReleasableKeys) {
        if (GetAsyncKeyState(key.virtualKey) & 0x8000) held.push_back(key);
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

}  // namespace

void SendKeyCombo(uint16_t key, ShiftState modifiers, bool extended) {
    const std::vector<KeyEvent> events = KeyComboEvents(key, modifiers, extended, HeldKeysNow());
    if (LetsGoOfAlt(events)) EndPendingAltTap();
    for (const KeyEvent& event : events) {
        // The scan code is looked up afresh for every event, as the keyboard layout may change.
        const BYTE scan = static_cast<BYTE>(MapVirtualKeyA(event.virtualKey, MAPVK_VK_TO_VSC) & 0xFF);
        keybd_event(event.virtualKey, scan, event.flags, 0);
    }
}
