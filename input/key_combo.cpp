#include "key_combo.h"

#include <iterator>

namespace {

struct ModifierKey {
    ShiftState bit;
    uint8_t virtualKey;
};

// Pressed in this order, released in reverse.
constexpr ModifierKey kModifierKeyTable[] = {
    {kControl, 0x11},  // VK_CONTROL
    {kShift, 0x10},    // VK_SHIFT
    {kAlt, 0x12},      // VK_MENU
};

}  // namespace

std::vector<KeyEvent> KeyComboEvents(uint16_t key, ShiftState modifiers, bool extended,
                                     std::span<const HeldKey> heldKeys, bool keyHeld) {
    ShiftState heldModifiers = 0;
    for (const HeldKey& held : heldKeys) heldModifiers |= held.bit;
    const ShiftState pressed = modifiers & ~heldModifiers;
    std::vector<KeyEvent> events;
    for (const ModifierKey& modifier : kModifierKeyTable) {
        if (pressed & modifier.bit) events.push_back({modifier.virtualKey, 0});
    }
    for (const HeldKey& held : heldKeys) {
        const uint32_t flags = kKeyEventUp | (held.extended ? kKeyEventExtended : 0);
        if (!(modifiers & held.bit)) events.push_back({held.virtualKey, flags});
    }
    const uint8_t virtualKey = static_cast<uint8_t>(key & 0xFF);
    const uint32_t keyFlags = extended ? kKeyEventExtended : 0;
    events.push_back({virtualKey, keyFlags});
    if (!keyHeld) events.push_back({virtualKey, keyFlags | kKeyEventUp});
    for (auto modifier = std::rbegin(kModifierKeyTable); modifier != std::rend(kModifierKeyTable); ++modifier) {
        if (pressed & modifier->bit) events.push_back({modifier->virtualKey, kKeyEventUp});
    }
    return events;
}
