#include <optional>
#include <string>
#include <vector>

#include "standin_host.h"

namespace {

struct Framework {
    KsModule module = {};
    std::optional<std::string> folders[3];
    std::vector<std::string> spoken;
    std::string serviceLog;
    ksh_speak_listener listener = nullptr;
    void* listenerContext = nullptr;
    HWND window = nullptr;
    WNDPROC clientProc = nullptr;
    HWND frontDuringSpeak = nullptr;
};

Framework g_framework;

enum FolderService { kClientRoot, kClientDataRoot, kModuleDocRoot };

const char* AnswerFolder(FolderService service, const std::string& logEntry) {
    if (!g_framework.serviceLog.empty()) g_framework.serviceLog += ' ';
    g_framework.serviceLog += logEntry;
    const auto& folder = g_framework.folders[service];
    return folder ? folder->c_str() : nullptr;
}

std::optional<std::string> OptionalText(const char* text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

template <class Function>
bool Lookup(HMODULE library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

int32_t PassToModule(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!g_framework.module.on_wndproc) return KS_PASS_ON;
    HostMessage hostMessage = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)), message,
                               static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam), 0};
    const int32_t answer = g_framework.module.on_wndproc(&hostMessage);
    result = hostMessage.result;
    return answer;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (PassToModule(window, message, wParam, lParam, result) == KS_TAKEN) return result;
    return CallWindowProcA(g_framework.clientProc, window, message, wParam, lParam);
}

}  // namespace

extern "C" {

void KS_CALL ks_speak(const char* text) {
    const char* line = text ? text : "";
    g_framework.spoken.emplace_back(line);
    if (g_framework.listener) g_framework.listener(line, g_framework.listenerContext);
    if (g_framework.frontDuringSpeak) SetForegroundWindow(g_framework.frontDuringSpeak);
}

const char* KS_CALL ks_clroot() { return AnswerFolder(kClientRoot, "clroot"); }

const char* KS_CALL ks_cldataroot() { return AnswerFolder(kClientDataRoot, "cldataroot"); }

const char* KS_CALL ks_moddocroot(uint32_t moduleId) {
    return AnswerFolder(kModuleDocRoot, "moddocroot(" + std::to_string(moduleId) + ")");
}

const KsModule* KS_CALL ksh_load_module(const char* path) {
    ksh_unload_module();
    KsModule module = {};
    module.library = LoadLibraryA(path);
    if (!module.library) return nullptr;
    const bool complete = Lookup(module.library, "on_module", module.on_module) &&
                          Lookup(module.library, "on_client", module.on_client) &&
                          Lookup(module.library, "on_wndproc", module.on_wndproc) &&
                          Lookup(module.library, "on_world", module.on_world) &&
                          Lookup(module.library, "on_command", module.on_command) &&
                          Lookup(module.library, "on_inet", module.on_inet) &&
                          Lookup(module.library, "on_onet", module.on_onet);
    if (!complete) {
        FreeLibrary(module.library);
        return nullptr;
    }
    g_framework.module = module;
    return &g_framework.module;
}

void KS_CALL ksh_unload_module() {
    if (g_framework.module.library) FreeLibrary(g_framework.module.library);
    g_framework.module = {};
}

void KS_CALL ksh_set_folders(const char* clientRoot, const char* clientDataRoot, const char* moduleDocRoot) {
    g_framework.folders[kClientRoot] = OptionalText(clientRoot);
    g_framework.folders[kClientDataRoot] = OptionalText(clientDataRoot);
    g_framework.folders[kModuleDocRoot] = OptionalText(moduleDocRoot);
}

void KS_CALL ksh_set_speak_listener(ksh_speak_listener listener, void* context) {
    g_framework.listener = listener;
    g_framework.listenerContext = context;
}

void KS_CALL ksh_set_front_during_speak(HWND window) { g_framework.frontDuringSpeak = window; }

int KS_CALL ksh_spoken_count() { return static_cast<int>(g_framework.spoken.size()); }

const char* KS_CALL ksh_spoken_line(int index) {
    if (index < 0 || index >= ksh_spoken_count()) return nullptr;
    return g_framework.spoken[index].c_str();
}

void KS_CALL ksh_clear_spoken() { g_framework.spoken.clear(); }

const char* KS_CALL ksh_service_log() { return g_framework.serviceLog.c_str(); }

void KS_CALL ksh_clear_service_log() { g_framework.serviceLog.clear(); }

BOOL KS_CALL ksh_attach_window(HWND window) {
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostWindowProc)));
    if (!previous) return FALSE;
    g_framework.window = window;
    g_framework.clientProc = previous;
    return TRUE;
}

void KS_CALL ksh_pretranslate(const MSG* message) {
    if (!message || message->message != WM_KEYDOWN || !g_framework.window) return;
    if (message->hwnd == g_framework.window || !IsChild(g_framework.window, message->hwnd)) return;
    LRESULT ignored = 0;
    PassToModule(g_framework.window, message->message, message->wParam, message->lParam, ignored);
}

void KS_CALL ksh_start(uint32_t moduleId, HWND clientWindow) {
    if (!g_framework.module.on_module) return;
    g_framework.module.on_module(KS_EVENT_START, &moduleId);
    g_framework.module.on_client(KS_CLIENT_WINDOW, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(clientWindow)));
}

void KS_CALL ksh_stop() {
    if (g_framework.module.on_module) g_framework.module.on_module(KS_EVENT_SAVE, nullptr);
}

int32_t KS_CALL ksh_empty_callback(HostMessage*) { return KS_PASS_ON; }

HMODULE KS_CALL ksh_loaded_library() { return g_framework.module.library; }

}  // extern "C"
