#include <gtest/gtest.h>

#include "input/key_combo.h"

namespace {

constexpr uint8_t kVkControl = 0x11, kVkShift = 0x10, kVkAlt = 0x12, kVkT = 0x54;

TEST(KeyCombo, ControlTIsFourEventsInOrder) {
    const std::vector<KeyEvent> expected = {
        {kVkControl, 0}, {kVkT, 0}, {kVkT, kKeyEventUp}, {kVkControl, kKeyEventUp}};
    EXPECT_EQ(KeyComboEvents(kVkT, kControl, false), expected);
}

TEST(KeyCombo, HeldKeysAreLetGoWhileControlIsDown) {
    const HeldKey leftShift = kReleasableKeys[0], leftAlt = kReleasableKeys[2], rightAlt = kReleasableKeys[3],
                  leftWindows = kReleasableKeys[4];
    const HeldKey held[] = {leftShift, rightAlt, leftWindows};
    EXPECT_EQ(KeyComboEvents(kVkT, kControl, false, held),
              (std::vector<KeyEvent>{{kVkControl, 0},
                                     {0xA0, kKeyEventUp},
                                     {0xA5, kKeyEventUp | kKeyEventExtended},
                                     {0x5B, kKeyEventUp | kKeyEventExtended},
                                     {kVkT, 0},
                                     {kVkT, kKeyEventUp},
                                     {kVkControl, kKeyEventUp}}));
    // A held key that the combination uses is the player's: neither pressed
    // again nor let go, and a held key goes down without its release.
    const HeldKey leftControl = kReleasableKeys[6], rightControl = kReleasableKeys[7];
    const HeldKey alt[] = {leftAlt}, control[] = {rightControl}, both[] = {leftControl, leftAlt};
    const struct {
        std::span<const HeldKey> held;
        bool keyHeld;
        std::vector<KeyEvent> events;
    } rows[] = {
        {alt, false, {{kVkControl, 0}, {kVkT, 0}, {kVkT, kKeyEventUp}, {kVkControl, kKeyEventUp}}},
        {control, false, {{kVkAlt, 0}, {kVkT, 0}, {kVkT, kKeyEventUp}, {kVkAlt, kKeyEventUp}}},
        {both, false, {{kVkT, 0}, {kVkT, kKeyEventUp}}},
        {control, true, {{kVkAlt, 0}, {kVkT, 0}, {kVkAlt, kKeyEventUp}}},
    };
    for (const auto& row : rows) EXPECT_EQ(KeyComboEvents(kVkT, kControl | kAlt, false, row.held, row.keyHeld), row.events);
}

TEST(KeyCombo, ModifiersPressInTableOrderAndReleaseInReverse) {
    const std::vector<KeyEvent> expected = {{kVkControl, 0},          {kVkShift, 0},
                                            {kVkAlt, 0},              {kVkT, 0},
                                            {kVkT, kKeyEventUp},      {kVkAlt, kKeyEventUp},
                                            {kVkShift, kKeyEventUp},  {kVkControl, kKeyEventUp}};
    EXPECT_EQ(KeyComboEvents(kVkT, kControl | kShift | kAlt, false), expected);
}

TEST(KeyCombo, NoModifiersAndTheExtendedFlag) {
    EXPECT_EQ(KeyComboEvents(kVkT, 0, false), (std::vector<KeyEvent>{{kVkT, 0}, {kVkT, 2}}));
    // Only the key's own events are extended; its release carries 1 + 2.
    EXPECT_EQ(KeyComboEvents(0x2E, kShift, true),
              (std::vector<KeyEvent>{{kVkShift, 0}, {0x2E, 1}, {0x2E, 3}, {kVkShift, 2}}));
    // The virtual key is the low byte of the 16-bit code.
    EXPECT_EQ(KeyComboEvents(0x0154, 0, false).front().virtualKey, kVkT);
}

}  // namespace
