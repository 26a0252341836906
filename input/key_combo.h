// A key press with modifier keys held around it, as a list of key events;
// the injection into the system's input is a thin layer on top.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Modifier keys held around a key: bit 0 Shift, bit 1 Alt, bit 2 Control.
using ShiftState = uint8_t;
constexpr ShiftState kShift = 1;
constexpr ShiftState kAlt = 2;
constexpr ShiftState kControl = 4;

constexpr uint32_t kKeyEventExtended = 1;  // KEYEVENTF_EXTENDEDKEY
constexpr uint32_t kKeyEventUp = 2;        // KEYEVENTF_KEYUP

struct KeyEvent {
    uint8_t virtualKey;
    uint32_t flags;
    bool operator==(const KeyEvent&) const = default;
};

// A key that the player may still hold when the combination goes out. Held
// and not used, it changes the combination: Alt+O that confirmed the dialog
// would turn Control-T into Control-Alt-T, which the client does not know.
// Held and used, it is the player's: let go of it, and the Control that the
// player still holds to press T again is gone.
struct HeldKey {
    uint8_t virtualKey;  // the left or right key itself
    ShiftState bit;      // the modifier it is, if the combination may use it
    bool extended;
};

// Control, Shift, Alt and the Windows keys, left and right.
constexpr HeldKey kReleasableKeys[] = {
    {0xA0, kShift, false},    // VK_LSHIFT
    {0xA1, kShift, false},    // VK_RSHIFT
    {0xA4, kAlt, false},      // VK_LMENU
    {0xA5, kAlt, true},       // VK_RMENU
    {0x5B, 0, true},          // VK_LWIN
    {0x5C, 0, true},          // VK_RWIN
    {0xA2, kControl, false},  // VK_LCONTROL
    {0xA3, kControl, true},   // VK_RCONTROL
};

// Modifiers down (Control, Shift, Alt) unless the player holds them; then
// the release of each held key that the combination does not use; the key
// down, and up unless the player holds it too (the player's own release
// follows); the modifiers pressed here up in reverse. Only the key's own
// events, and the releases of extended keys, carry the extended flag.
// Nothing let go is pressed again afterwards.
std::vector<KeyEvent> KeyComboEvents(uint16_t key, ShiftState modifiers, bool extended,
                                     std::span<const HeldKey> heldKeys = {}, bool keyHeld = false);
