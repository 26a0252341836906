// The one module-wide record. Every callback runs on the client's UI thread,
// one at a time, so it needs no lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "scoped_win.h"

struct ModuleState {
    HWND clientWindow = nullptr;    // owner of the chooser dialog
    uint32_t moduleId = 0;
    std::string clientRoot;         // current folder after every selection
    std::string clientDataRoot;     // with a trailing backslash; empty: no client folder
    std::string mapPointerPath;     // the client's editor.ini
    std::string settingsPath;       // Tarnwick.ini
    bool f12Enabled = false;
    bool controlTEnabled = false;
    bool selfSentUpload = false;    // our own Control-T must reach the client once
    bool selectionRunning = false;  // the chooser is open; no second one
    // The key that opened the last selection (F12, or T of Control-T), as
    // long as the player has not let go of it: its repeats start nothing.
    uint8_t openingKey = 0;
    // The switches as this session last read or saved them: a save writes
    // only what changed since, over what another client saved meanwhile.
    int32_t savedKeyFlags = 0;
    ScopedHook openingKeyWatch;        // clears openingKey when the key goes up
    ScopedThreadTimer uploadWatch;     // our Control-T not back in time: the hint
    std::string chosenMapText;         // what the hint names
    bool stopRequested = false;        // the framework stops us while the chooser is open
    HMODULE selectionPin = nullptr;    // keeps this code loaded under an open chooser
};

extern ModuleState g_state;
