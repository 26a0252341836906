// The one module-wide record. Every callback runs on the client's UI thread,
// one at a time, so it needs no lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

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
    // The switches as this session last read or saved them: a save writes
    // only what changed since, over what another client saved meanwhile.
    int32_t savedKeyFlags = 0;
};

extern ModuleState g_state;
