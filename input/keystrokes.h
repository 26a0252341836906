// Keys injected into the system's keyboard input, as if the player typed them.
#pragma once

#include "key_combo.h"

// Sends the combination; Shift, Alt or Windows keys that the player still
// holds, and that the combination does not use, are let go first.
void SendKeyCombo(uint16_t key, ShiftState modifiers, bool extended);
