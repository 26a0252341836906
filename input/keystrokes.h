// Keys injected into the system's keyboard input, as if the player typed them.
#pragma once

#include "key_combo.h"

void SendKeyCombo(uint16_t key, ShiftState modifiers, bool extended);
