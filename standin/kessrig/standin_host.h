// The host side of our stand-in for the closed Kessrig framework: it loads a
// module, drives its callbacks as the framework would, answers the four
// services from folders the caller sets, and records what the module says.
// Tests and the stand-in client use it; the module never sees this header.
#pragma once

#include <windows.h>

#include "../../host/kessrig.h"

extern "C" {

struct KsModule {
    HMODULE library;
    ks_on_module_fn on_module;
    ks_on_client_fn on_client;
    ks_on_wndproc_fn on_wndproc;
    ks_on_world_fn on_world;
    ks_on_command_fn on_command;
    ks_on_net_fn on_inet;
    ks_on_net_fn on_onet;
};

// Loads a module and looks up its seven callbacks; null when the library or
// one of them is missing. One module at a time.
const KsModule* KS_CALL ksh_load_module(const char* path);
void KS_CALL ksh_unload_module();

// What ks_clroot, ks_cldataroot and ks_moddocroot answer; a null pointer is
// answered as null.
void KS_CALL ksh_set_folders(const char* clientRoot, const char* clientDataRoot, const char* moduleDocRoot);

// Every ks_speak line is kept, and also handed to the listener if one is set.
typedef void(KS_CALL* ksh_speak_listener)(const char* line, void* context);
void KS_CALL ksh_set_speak_listener(ksh_speak_listener listener, void* context);
// Every ks_speak brings this window to the front before it returns, as
// another program may at any moment while the framework prints; null ends it.
void KS_CALL ksh_set_front_during_speak(HWND window);
int KS_CALL ksh_spoken_count();
const char* KS_CALL ksh_spoken_line(int index);
void KS_CALL ksh_clear_spoken();

// The folder services in the order they were called, e.g.
// "clroot cldataroot moddocroot(7)".
const char* KS_CALL ksh_service_log();
void KS_CALL ksh_clear_service_log();

// Routes every message of the window through the module's on_wndproc
// first, as the framework does with the client window.
BOOL KS_CALL ksh_attach_window(HWND window);

// For the client's message loop: a key-down aimed at a child of the attached
// window (the chat input, say) is shown to on_wndproc as the window's own.
void KS_CALL ksh_pretranslate(const MSG* message);

// Event 0 with the module id, then the client window; and at the end event 1.
void KS_CALL ksh_start(uint32_t moduleId, HWND clientWindow);
void KS_CALL ksh_stop();

// Does nothing, in the form of on_wndproc: what a callback costs at least,
// the yardstick for the module's pass-through path.
int32_t KS_CALL ksh_empty_callback(HostMessage* message);

// The adversary for the loaded module (interposer.cpp): its own import
// address table is redirected here; nothing else in the process changes.
// Each call of the module that can fail or touches the world first asks the
// listener, which returns 0 to let it run or the error to fail it with:
// the call's failure value and that last error (NULL for memory). WriteFile
// given ERROR_HANDLE_DISK_FULL takes half of the bytes and reports that, as a
// nearly full disk does under Wine; given ERROR_WRITE_FAULT it takes half and
// reports all; WritePrivateProfileStringA given ERROR_HANDLE_DISK_FULL empties
// the file and reports success, as Wine's does on a full disk. Returns the
// entries replaced.
typedef DWORD(KS_CALL* ksh_call_listener)(const char* call, int changesFile, void* context);
int KS_CALL ksh_interpose(ksh_call_listener listener, void* context);
HMODULE KS_CALL ksh_loaded_library();
// The open-file dialog's answer; null or empty: a cancel.
void KS_CALL ksh_set_dialog_answer(const wchar_t* path);
// What GetForegroundWindow answers; kept: SetForegroundWindow is refused.
void KS_CALL ksh_set_front(HWND window, BOOL kept);
// What GetAsyncKeyState answers for the key.
void KS_CALL ksh_set_held(int virtualKey, BOOL held);
// Each SendInput, never sent: "<front window>: 11 54 54u 11u;".
const char* KS_CALL ksh_sent_keys();
void KS_CALL ksh_clear_sent_keys();
// The module's thread keyboard hook, to be told of key messages; null when none.
HOOKPROC KS_CALL ksh_key_hook();
// The module's open handle of a file, for a look at what a kill would leave.
HANDLE KS_CALL ksh_open_file(const wchar_t* path);

}  // extern "C"
