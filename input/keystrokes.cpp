#include "keystrokes.h"

#include <windows.h>

void SendKeyCombo(uint16_t key, ShiftState modifiers, bool extended) {
    for (const KeyEvent& event : KeyComboEvents(key, modifiers, extended)) {
        // The scan code is looked up afresh for every event, as the keyboard layout may change.
        const BYTE scan = static_cast<BYTE>(MapVirtualKeyA(event.virtualKey, MAPVK_VK_TO_VSC) & 0xFF);
        keybd_event(event.virtualKey, scan, event.flags, 0);
    }
}
