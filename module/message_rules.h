// The rules of on_wndproc: F12 and the client's Control-T upload command
// start a map selection, and our own Control-T passes once. The selection
// flow itself is in maps/selection.cpp, which defines the three calls below.
#pragma once

#include <windows.h>

#include <cstdint>

#include "../host/kessrig.h"
#include "state.h"

// Runs one map selection, opened by a press of openingKey (F12, or the T of
// Control-T), unless one is already running or the key is a repeat of the
// one that opened the last selection; its errors end it as one chat line.
// Then gives the message's answer: F12 reaches the client as well, the
// Control-T is taken. Out of line, called last and with one argument, so
// that the rules below sit inside on_wndproc and leave it without a stack
// frame of its own.
int32_t SelectThenAnswer(uint8_t openingKey) noexcept;

// The framework stops the module (event 1): an open map dialog closes as a
// cancel, for the library may be unloaded next.
void CancelSelectionForStop();

// Lets go of the library's hold on itself, taken while the map dialog was
// open, once the framework calls again: it holds the library itself then.
// Called where the framework calls us out of the client's busiest path (the
// start of a selection, on_module, on_command): the stop (event 1) that
// comes before an unload lets go of it in time.
void ReleaseSelectionPin();

constexpr uint8_t kVirtualKeyT = 0x54;
constexpr uint32_t kUploadCommandId = 121;
constexpr uint32_t kFromAccelerator = 1;  // high word of a command's wParam

// The client's upload command as its Control-T accelerator raises it; the
// menu's Upload carries 0 in the high word and is not taken.
inline bool IsUploadRequest(uint32_t wParam) { return wParam == (kFromAccelerator << 16 | kUploadCommandId); }

// A key-down or command message of the client window: KS_TAKEN when the
// module took it (its result set to 0), KS_PASS_ON when the client gets it.
inline int32_t HandleKeyOrCommand(HostMessage& message) noexcept {
    ModuleState& state = g_state;
    if (message.message == WM_COMMAND) {
        // A child control's notice (the chat box's EN_CHANGE as a line
        // arrives, a button's BN_CLICKED) is no upload request and tells
        // nothing of our Control-T on its way.
        if (message.lParam != 0) return KS_PASS_ON;
        if (IsUploadRequest(message.wParam) && !state.selfSentUpload && state.controlTEnabled) [[unlikely]] {
            message.result = 0;
            return SelectThenAnswer(kVirtualKeyT);
        }
        // Our own Control-T came back (or never will): let exactly this one
        // through. Any other menu or accelerator command clears the mark
        // too; with interception off an upload request finds it clear already.
        state.selfSentUpload = false;
        return KS_PASS_ON;
    }
    // The client sees F12 as well.
    if (message.wParam == VK_F12 && state.f12Enabled) [[unlikely]] return SelectThenAnswer(VK_F12);
    return KS_PASS_ON;
}
