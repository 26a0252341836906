// Keys injected into the system's keyboard input, as if the player typed them.
#pragma once

#include <windows.h>

#include "key_combo.h"

// Sends the combination, all its events in one batch that no other input
// can split, but only while the window is the one in front: false, and
// nothing sent, when another window is there (the keys would go to it) or
// the system refused them. Keys that the player holds stay held: Shift, Alt
// or Windows keys that the combination does not use are let go first, and
// the player's own Control or key is neither pressed again nor let go.
bool SendKeyCombo(HWND onlyInto, uint16_t key, ShiftState modifiers, bool extended);
