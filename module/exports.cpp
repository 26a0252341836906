// The seven callbacks that the framework calls. Nothing thrown below may
// unwind into the framework, which would take the game client down with it,
// so each is a few lines inside the error boundary (RunReported).
//
// on_wndproc is the exception: its boundary sits deeper, around the map
// selection alone (SelectThenAnswer), because the answer to the client
// must not depend on how the selection ended. A Control-T that started a
// selection stays taken even when the selection fails, or the client would
// upload the old map behind the player's back; and every other message
// passes without a try block on the client's busiest path.
#include <windows.h>

#include "commands.h"
#include "exports.h"
#include "host_link.h"
#include "message_rules.h"
#include "settings.h"
#include "state.h"

namespace {

void StartModule(const void* argument) {
    if (argument == nullptr) return;
    g_state.moduleId = *static_cast<const uint32_t*>(argument);
    LoadModuleState();
}

void DispatchModuleEvent(uint32_t event, const void* argument) {
    switch (event) {
        case KS_EVENT_START: StartModule(argument); break;
        case KS_EVENT_SAVE:
            // The framework saves before it unloads the library.
            CancelSelectionForStop();
            SaveModuleSettings();
            break;
        case KS_EVENT_INFORMATION: PrintInformation(); break;
        default: break;
    }
}

}  // namespace

extern "C" {

int32_t KS_CALL on_module(uint32_t event, void* argument) {
    ReleaseSelectionPin();
    RunReported([&] { DispatchModuleEvent(event, argument); });
    return 0;
}

int32_t KS_CALL on_client(int32_t code, uint32_t value) {
    if (code == KS_CLIENT_WINDOW) g_state.clientWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
    return 0;
}

// Sees every message of the client window: ordinary ones leave after the
// message-number tests, with nothing called, nothing allocated and no jump
// taken. Those tests cost the same wherever the code lands when the function
// starts a 64-byte line (measured: 1.3x the empty export when it began at
// byte 48 of a line and an ordinary message jumped).
#if defined(__GNUC__)  // GCC and clang; MSVC aligns no single function
#define TARNWICK_CACHE_LINE_START __attribute__((aligned(64)))
#else
#define TARNWICK_CACHE_LINE_START
#endif
TARNWICK_CACHE_LINE_START int32_t KS_CALL on_wndproc(HostMessage* message) {
    if (message == nullptr) [[unlikely]] return KS_PASS_ON;
    if (message->message == WM_KEYDOWN || message->message == WM_COMMAND) [[unlikely]]
        return HandleKeyOrCommand(*message);
    return KS_PASS_ON;
}

int32_t KS_CALL on_world() { return 0; }

int32_t KS_CALL on_command(int32_t argc, const char* const* argv) {
    ReleaseSelectionPin();
    int32_t result = KS_PASS_ON;
    RunReported([&] { RunChatCommand(argc, argv, result); });
    return result;
}

int32_t KS_CALL on_inet() { return 0; }

int32_t KS_CALL on_onet() { return 0; }

}  // extern "C"
