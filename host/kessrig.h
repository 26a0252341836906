// The Kessrig framework as a module sees it: four services to call and the
// forms of the seven callbacks that the framework calls. Everything crosses
// the boundary as 32-bit values, cdecl, with NUL-terminated ANSI text.
#pragma once

#include <cstddef>
#include <cstdint>

#define KS_CALL __cdecl

extern "C" {

// Shows one line in the client's chat. The text need only live for the call.
void KS_CALL ks_speak(const char* text);
// The client's program folder.
const char* KS_CALL ks_clroot();
// The client's data folder (holds editor.ini); empty or null when not found.
const char* KS_CALL ks_cldataroot();
// The folder where the module with this id keeps its own documents.
const char* KS_CALL ks_moddocroot(uint32_t moduleId);

}  // extern "C"

// One window message of the client, as the framework hands it to on_wndproc.
struct HostMessage {
    uint32_t window;   // framework's; not read by the module
    uint32_t message;
    uint32_t wParam;
    uint32_t lParam;   // a WM_COMMAND's sender: a child control's window, 0 from a menu or an accelerator
    int32_t result;    // the message's result when the module takes it
};
static_assert(offsetof(HostMessage, message) == 4);
static_assert(offsetof(HostMessage, wParam) == 8);
static_assert(offsetof(HostMessage, result) == 16);

// Callback results.
constexpr int32_t KS_PASS_ON = 0;
constexpr int32_t KS_TAKEN = -1;

// Events of on_module.
enum ModuleEvent : uint32_t {
    KS_EVENT_START = 0,
    KS_EVENT_SAVE = 1,
    KS_EVENT_INFORMATION = 4,
};

// Notification codes of on_client.
constexpr int32_t KS_CLIENT_WINDOW = 0;

extern "C" {
typedef int32_t(KS_CALL* ks_on_module_fn)(uint32_t event, void* argument);
typedef int32_t(KS_CALL* ks_on_client_fn)(int32_t code, uint32_t value);
typedef int32_t(KS_CALL* ks_on_wndproc_fn)(HostMessage* message);
typedef int32_t(KS_CALL* ks_on_world_fn)();
typedef int32_t(KS_CALL* ks_on_command_fn)(int32_t argc, const char* const* argv);
typedef int32_t(KS_CALL* ks_on_net_fn)();
}
