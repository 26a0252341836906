// The adversary of the module's tests: entries of the loaded module's own
// import address table lead here, so that each of its calls that can fail
// or touches the world is counted, can be failed the way Windows fails it,
// and lets the test change the world in between. Nothing else in the
// process changes. The dialog, the keys and the front window are the test's.
#include <cwchar>
#include <map>
#include <string>

#include "standin_host.h"

#include <commdlg.h>

namespace {

struct Interposer {
    ksh_call_listener listener = nullptr;
    void* context = nullptr;
    std::wstring answer;  // the dialog's; empty: a cancel
    DWORD dialogError = 0;
    HWND front = nullptr;
    bool frontKept = false;
    bool held[256] = {};
    std::string sent;
    HOOKPROC keyHook = nullptr;
    std::map<HANDLE, std::wstring> files;  // what the module holds open, by path
};

Interposer g_interposer;

enum Touch { kReads, kChangesFile };

// The listener's error for this call, 0 to let it run.
DWORD Step(const char* call, Touch touch = kReads) {
    return g_interposer.listener ? g_interposer.listener(call, touch == kChangesFile, g_interposer.context) : 0;
}

// A call that fails, when the listener says so, with its failure value and the error.
#define COUNTED(Result, name, touch, failed, parameters, arguments) \
    Result WINAPI name##Hook parameters {                           \
        if (const DWORD error = Step(#name, touch)) {               \
            SetLastError(error);                                    \
            return failed;                                          \
        }                                                           \
        return name arguments;                                      \
    }

COUNTED(HANDLE, CreateFileA, kReads, INVALID_HANDLE_VALUE,
        (LPCSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD d, DWORD f, HANDLE t), (p, a, s, sa, d, f, t))
COUNTED(BOOL, ReadFile, kReads, FALSE, (HANDLE f, LPVOID b, DWORD n, LPDWORD d, LPOVERLAPPED o), (f, b, n, d, o))
COUNTED(BOOL, SetEndOfFile, kChangesFile, FALSE, (HANDLE f), (f))
COUNTED(BOOL, FlushFileBuffers, kReads, FALSE, (HANDLE f), (f))
COUNTED(BOOL, SetFilePointerEx, kReads, FALSE, (HANDLE f, LARGE_INTEGER to, PLARGE_INTEGER at, DWORD m), (f, to, at, m))
COUNTED(BOOL, GetFileSizeEx, kReads, FALSE, (HANDLE f, PLARGE_INTEGER size), (f, size))
COUNTED(BOOL, MoveFileExW, kChangesFile, FALSE, (LPCWSTR from, LPCWSTR to, DWORD f), (from, to, f))
COUNTED(BOOL, DeleteFileW, kChangesFile, FALSE, (LPCWSTR p), (p))
COUNTED(DWORD, GetFileAttributesA, kReads, INVALID_FILE_ATTRIBUTES, (LPCSTR p), (p))
COUNTED(BOOL, GetFileInformationByHandleEx, kReads, FALSE, (HANDLE f, FILE_INFO_BY_HANDLE_CLASS c, LPVOID o, DWORD n),
        (f, c, o, n))
COUNTED(DWORD, GetFinalPathNameByHandleW, kReads, 0, (HANDLE f, LPWSTR o, DWORD n, DWORD g), (f, o, n, g))
COUNTED(DWORD, GetShortPathNameW, kReads, 0, (LPCWSTR p, LPWSTR o, DWORD n), (p, o, n))
COUNTED(DWORD, GetLongPathNameW, kReads, 0, (LPCWSTR p, LPWSTR o, DWORD n), (p, o, n))
COUNTED(BOOL, GetFileSecurityW, kReads, FALSE,
        (LPCWSTR p, SECURITY_INFORMATION i, PSECURITY_DESCRIPTOR d, DWORD n, LPDWORD needed), (p, i, d, n, needed))
COUNTED(BOOL, SetFileSecurityW, kChangesFile, FALSE, (LPCWSTR p, SECURITY_INFORMATION i, PSECURITY_DESCRIPTOR d),
        (p, i, d))
COUNTED(UINT_PTR, SetTimer, kReads, 0, (HWND w, UINT_PTR id, UINT ms, TIMERPROC procedure), (w, id, ms, procedure))
COUNTED(BOOL, GetModuleHandleExW, kReads, FALSE, (DWORD f, LPCWSTR name, HMODULE* module), (f, name, module))

// The module's own opens, kept by path: what it holds without sharing can
// still be looked at, as a kill would leave it.
HANDLE WINAPI CreateFileWHook(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (const DWORD error = Step("CreateFileW", disposition == OPEN_EXISTING ? kReads : kChangesFile)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE file = CreateFileW(path, access, share, security, disposition, flags, templateFile);
    if (file != INVALID_HANDLE_VALUE) g_interposer.files[file] = path;
    return file;
}
// A close reports a write that the disk refused late; the handle is gone all the same.
BOOL WINAPI CloseHandleHook(HANDLE handle) {
    g_interposer.files.erase(handle);
    const DWORD error = Step("CloseHandle");
    const BOOL closed = CloseHandle(handle);
    if (error) SetLastError(error);
    return error ? FALSE : closed;
}
// ERROR_HANDLE_DISK_FULL: the disk takes half of the bytes and the call
// reports that, as a file size limit has it under Wine. ERROR_WRITE_FAULT:
// half of them reach the disk, but the call reports all, as a network drive
// may that fails after the call returned.
BOOL WINAPI WriteFileHook(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) {
    const DWORD error = Step("WriteFile", kChangesFile);
    if (error == ERROR_HANDLE_DISK_FULL) return WriteFile(file, buffer, size / 2, done, overlapped);
    if (error == ERROR_WRITE_FAULT && WriteFile(file, buffer, size / 2, done, overlapped)) {
        *done = size;
        return TRUE;
    }
    if (error) SetLastError(error);
    return error ? FALSE : WriteFile(file, buffer, size, done, overlapped);
}
DWORD WINAPI GetPrivateProfileStringAHook(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR out, DWORD size,
                                         LPCSTR path) {
    if (const DWORD error = Step("GetPrivateProfileStringA")) {
        SetLastError(error);
        lstrcpynA(out, fallback ? fallback : "", static_cast<int>(size));
        return lstrlenA(out);
    }
    return GetPrivateProfileStringA(section, key, fallback, out, size, path);
}
// ERROR_HANDLE_DISK_FULL: what Wine's profile writer does on a full disk,
// the file emptied and success reported. Its flush (no section) changes nothing.
BOOL WINAPI WritePrivateProfileStringAHook(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
    const DWORD error = Step("WritePrivateProfileStringA", section ? kChangesFile : kReads);
    if (error == ERROR_HANDLE_DISK_FULL && section)
        CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (error) SetLastError(error);
    return error ? error == ERROR_HANDLE_DISK_FULL : WritePrivateProfileStringA(section, key, value, path);
}
void* __cdecl MallocHook(size_t size) { return Step("malloc") ? nullptr : malloc(size); }
void* __cdecl CallocHook(size_t count, size_t size) { return Step("calloc") ? nullptr : calloc(count, size); }
void* __cdecl ReallocHook(void* block, size_t size) { return Step("realloc") ? nullptr : realloc(block, size); }
// The test answers the dialog: no window is needed.
BOOL WINAPI GetOpenFileNameWHook(LPOPENFILENAMEW record) {
    g_interposer.dialogError = Step("GetOpenFileNameW");
    if (g_interposer.dialogError || g_interposer.answer.empty() || g_interposer.answer.size() >= record->nMaxFile)
        return FALSE;
    wcscpy(record->lpstrFile, g_interposer.answer.c_str());
    return TRUE;
}
DWORD WINAPI CommDlgExtendedErrorHook() { return g_interposer.dialogError; }
// Keys are recorded with the window in front as they go, never sent.
UINT WINAPI SendInputHook(UINT count, LPINPUT inputs, int) {
    if (const DWORD error = Step("SendInput")) {
        SetLastError(error);
        return 0;
    }
    char entry[24];
    snprintf(entry, sizeof entry, "%p:", static_cast<void*>(g_interposer.front));
    g_interposer.sent += entry;
    for (UINT i = 0; i < count; ++i) {
        snprintf(entry, sizeof entry, " %02X%s", inputs[i].ki.wVk, inputs[i].ki.dwFlags & KEYEVENTF_KEYUP ? "u" : "");
        g_interposer.sent += entry;
    }
    g_interposer.sent += ';';
    return count;
}
SHORT WINAPI GetAsyncKeyStateHook(int key) {
    return !Step("GetAsyncKeyState") && g_interposer.held[key & 0xFF] ? SHORT(0x8000) : 0;
}
SHORT WINAPI GetKeyStateHook(int key) {
    return !Step("GetKeyState") && g_interposer.held[key & 0xFF] ? SHORT(0x8000) : 0;
}
HWND WINAPI GetForegroundWindowHook() { return Step("GetForegroundWindow") ? nullptr : g_interposer.front; }
BOOL WINAPI SetForegroundWindowHook(HWND window) {
    if (Step("SetForegroundWindow") || g_interposer.frontKept) return FALSE;
    g_interposer.front = window;
    return TRUE;
}
// The thread's keyboard hook is the test's to call.
HHOOK WINAPI SetWindowsHookExWHook(int kind, HOOKPROC procedure, HINSTANCE, DWORD) {
    if (Step("SetWindowsHookExW") || kind != WH_KEYBOARD) return nullptr;
    g_interposer.keyHook = procedure;
    return reinterpret_cast<HHOOK>(&g_interposer.keyHook);
}
BOOL WINAPI UnhookWindowsHookExHook(HHOOK) {
    g_interposer.keyHook = nullptr;
    return TRUE;
}
LRESULT WINAPI CallNextHookExHook(HHOOK, int, WPARAM, LPARAM) { return 0; }
void KS_CALL SpeakHook(const char* text) {
    Step("ks_speak");
    ks_speak(text);
}

struct Replacement {
    const char* name;
    void* hook;
};
#define HOOK(name) {#name, reinterpret_cast<void*>(name##Hook)}
const Replacement kReplacements[] = {
    HOOK(CreateFileA), HOOK(CreateFileW), HOOK(CloseHandle), HOOK(ReadFile), HOOK(WriteFile), HOOK(SetEndOfFile),
    HOOK(FlushFileBuffers), HOOK(SetFilePointerEx), HOOK(GetFileSizeEx), HOOK(MoveFileExW), HOOK(DeleteFileW),
    HOOK(GetFileAttributesA), HOOK(GetFileInformationByHandleEx), HOOK(GetFinalPathNameByHandleW),
    HOOK(GetShortPathNameW), HOOK(GetLongPathNameW), HOOK(GetFileSecurityW), HOOK(SetFileSecurityW),
    HOOK(GetPrivateProfileStringA), HOOK(WritePrivateProfileStringA), {"malloc", reinterpret_cast<void*>(MallocHook)},
    {"calloc", reinterpret_cast<void*>(CallocHook)}, {"realloc", reinterpret_cast<void*>(ReallocHook)},
    HOOK(GetOpenFileNameW), HOOK(CommDlgExtendedError), HOOK(GetAsyncKeyState), HOOK(GetKeyState), HOOK(SendInput),
    HOOK(GetForegroundWindow), HOOK(SetForegroundWindow), HOOK(SetWindowsHookExW), HOOK(UnhookWindowsHookEx),
    HOOK(CallNextHookEx), HOOK(SetTimer), HOOK(GetModuleHandleExW), {"ks_speak", reinterpret_cast<void*>(SpeakHook)}};

}  // namespace

extern "C" {

int KS_CALL ksh_interpose(ksh_call_listener listener, void* context) {
    g_interposer.listener = listener;
    g_interposer.context = context;
    auto* base = reinterpret_cast<BYTE*>(ksh_loaded_library());
    if (!base) return 0;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int replaced = 0;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); library->Name;
         ++library) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            for (const Replacement& replacement : kReplacements) {
                if (strcmp(name, replacement.name) != 0) continue;
                DWORD protection = 0;
                VirtualProtect(&addresses->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
                addresses->u1.Function = reinterpret_cast<uintptr_t>(replacement.hook);
                VirtualProtect(&addresses->u1.Function, sizeof(void*), protection, &protection);
                ++replaced;
            }
        }
    }
    return replaced;
}

void KS_CALL ksh_set_dialog_answer(const wchar_t* path) { g_interposer.answer = path ? path : L""; }

void KS_CALL ksh_set_front(HWND window, BOOL kept) {
    g_interposer.front = window;
    g_interposer.frontKept = kept;
}

void KS_CALL ksh_set_held(int virtualKey, BOOL held) { g_interposer.held[virtualKey & 0xFF] = held; }

const char* KS_CALL ksh_sent_keys() { return g_interposer.sent.c_str(); }

void KS_CALL ksh_clear_sent_keys() { g_interposer.sent.clear(); }

HOOKPROC KS_CALL ksh_key_hook() { return g_interposer.keyHook; }

HANDLE KS_CALL ksh_open_file(const wchar_t* path) {
    for (const auto& [file, name] : g_interposer.files) {
        if (lstrcmpiW(name.c_str(), path) == 0) return file;
    }
    return nullptr;
}

}  // extern "C"
