// A key press with modifier keys held around it, as a list of key events;
// the injection into the system's input is a thin layer on top.
#pragma once

#include <cstdint>
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

// Modifiers down (Control, Shift, Alt), the key down and up, modifiers up in
// reverse. Only the key's own events carry the extended flag.
std::vector<KeyEvent> KeyComboEvents(uint16_t key, ShiftState modifiers, bool extended);
