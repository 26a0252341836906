// What the module costs, measured in one run under Wine (bash scripts/benchmark):
// the on_wndproc pass-through against an empty export of the same form, the
// heap calls on that path, reading and rewriting editor.ini, and the DLL's
// size. A report, not a test: the machine is shared and its timings noisy.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "maps/map_pointer.h"
#include "standin_host.h"

// The module's code is linked in for the editor.ini figures and needs the
// framework's four services; nothing here asks them anything.
extern "C" {
void KS_CALL ks_speak(const char*) {}
const char* KS_CALL ks_clroot() { return ""; }
const char* KS_CALL ks_cldataroot() { return ""; }
const char* KS_CALL ks_moddocroot(uint32_t) { return ""; }
}

namespace {

double g_ticksPerSecond = 0;

double Now() {
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return static_cast<double>(ticks.QuadPart) / g_ticksPerSecond;
}

std::string BinaryFolder() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string file(path);
    return file.substr(0, file.find_last_of('\\'));
}

template <class Function>
Function Export(HMODULE library, const char* name) {
    auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (!function) {
        std::fprintf(stderr, "missing export %s\n", name);
        std::exit(1);
    }
    return function;
}

// --- The pass-through path -------------------------------------------------

struct Case {
    const char* name;
    ks_on_wndproc_fn callback;
    HostMessage message;
    double best = 1e9;
};

volatile int32_t g_sink;

// Both callbacks are called the framework's way: through a pointer, with a
// message record, the answer looked at.
double NanosecondsPerCall(ks_on_wndproc_fn callback, HostMessage message, int calls) {
    int32_t answers = 0;
    const double start = Now();
    for (int i = 0; i < calls; ++i) answers += callback(&message);
    const double seconds = Now() - start;
    g_sink = answers;
    return seconds * 1e9 / calls;
}

// --- The heap calls on that path ---------------------------------------------
// Tarnwick.dll's import slots for the heap functions are pointed at counting
// wrappers; the C++ runtime inside the DLL allocates through them. A mingw-w64
// build imports malloc and its kin from msvcrt.dll; a /MT build has only
// kernel32's Heap* slots to count at (untried).

int g_heapCalls = 0;
void* (__cdecl* g_malloc)(size_t);
void* (__cdecl* g_calloc)(size_t, size_t);
void* (__cdecl* g_realloc)(void*, size_t);
void (__cdecl* g_free)(void*);
LPVOID (WINAPI* g_heapAlloc)(HANDLE, DWORD, SIZE_T);
LPVOID (WINAPI* g_heapReAlloc)(HANDLE, DWORD, LPVOID, SIZE_T);
BOOL (WINAPI* g_heapFree)(HANDLE, DWORD, LPVOID);

void* __cdecl CountedMalloc(size_t size) { return ++g_heapCalls, g_malloc(size); }
void* __cdecl CountedCalloc(size_t count, size_t size) { return ++g_heapCalls, g_calloc(count, size); }
void* __cdecl CountedRealloc(void* block, size_t size) { return ++g_heapCalls, g_realloc(block, size); }
void __cdecl CountedFree(void* block) { ++g_heapCalls, g_free(block); }
LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
    return ++g_heapCalls, g_heapAlloc(heap, flags, size);
}
LPVOID WINAPI CountedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
    return ++g_heapCalls, g_heapReAlloc(heap, flags, block, size);
}
BOOL WINAPI CountedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    return ++g_heapCalls, g_heapFree(heap, flags, block);
}

struct ImportHook {
    const char* library;
    const char* name;
    void* counted;
    void** original;
};

const ImportHook kHeapHooks[] = {
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(CountedMalloc), reinterpret_cast<void**>(&g_malloc)},
    {"msvcrt.dll", "calloc", reinterpret_cast<void*>(CountedCalloc), reinterpret_cast<void**>(&g_calloc)},
    {"msvcrt.dll", "realloc", reinterpret_cast<void*>(CountedRealloc), reinterpret_cast<void**>(&g_realloc)},
    {"msvcrt.dll", "free", reinterpret_cast<void*>(CountedFree), reinterpret_cast<void**>(&g_free)},
    {"kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(CountedHeapAlloc), reinterpret_cast<void**>(&g_heapAlloc)},
    {"kernel32.dll", "HeapReAlloc", reinterpret_cast<void*>(CountedHeapReAlloc),
     reinterpret_cast<void**>(&g_heapReAlloc)},
    {"kernel32.dll", "HeapFree", reinterpret_cast<void*>(CountedHeapFree), reinterpret_cast<void**>(&g_heapFree)},
};

// Points the module's import slots of the heap functions at the counters;
// answers the names of the slots it changed.
std::string HookHeapImports(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::string hooked;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
         ++entry) {
        const char* library = reinterpret_cast<const char*>(base + entry->Name);
        if (entry->OriginalFirstThunk == 0) continue;  // no names left to match
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            for (const ImportHook& hook : kHeapHooks) {
                if (_stricmp(library, hook.library) != 0 || std::strcmp(name, hook.name) != 0) continue;
                DWORD protection = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
                *hook.original = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook.counted);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
                hooked += (hooked.empty() ? "" : ", ") + std::string(name);
            }
        }
    }
    return hooked;
}

// --- editor.ini ----------------------------------------------------------------

void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE || !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                                   nullptr) || written != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    CloseHandle(file);
}

// An editor.ini of exactly size bytes: settings lines, then the MAP line
// last, so that the lookup reads every line before it.
std::string IniOfSize(size_t size) {
    const std::string mapLine = "MAP=C:\\MAPS\\OLD.MAP\r\n";
    std::string text = "[Editor]\r\n";
    char line[64];
    for (int i = 0; text.size() + 48 + mapLine.size() < size; ++i) {
        std::snprintf(line, sizeof line, "Setting%06d=value %06d\r\n", i, i);
        text += line;
    }
    text += "; " + std::string(size - text.size() - mapLine.size() - 4, '-') + "\r\n";
    return text + mapLine;
}

template <class Operation>
double MedianMicroseconds(int runs, Operation operation) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        operation();
        times.push_back((Now() - start) * 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_ticksPerSecond = static_cast<double>(frequency.QuadPart);
    const std::string bin = BinaryFolder();
    namespace fs = std::filesystem;
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "tarnwick-benchmark-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);

    // The module in the stand-in framework, started as the client would.
    HMODULE framework = LoadLibraryA((bin + "\\kessrig.dll").c_str());
    if (!framework) return std::fprintf(stderr, "cannot load kessrig.dll\n"), 1;
    const auto loadModule = Export<decltype(&ksh_load_module)>(framework, "ksh_load_module");
    const auto setFolders = Export<decltype(&ksh_set_folders)>(framework, "ksh_set_folders");
    const auto empty = Export<ks_on_wndproc_fn>(framework, "ksh_empty_callback");
    setFolders(folder.c_str(), folder.c_str(), folder.c_str());
    const KsModule* module = loadModule((bin + "\\Tarnwick.dll").c_str());
    if (!module) return std::fprintf(stderr, "cannot load Tarnwick.dll\n"), 1;
    uint32_t moduleId = 1;
    module->on_module(KS_EVENT_START, &moduleId);

    const auto wineVersion = reinterpret_cast<const char* (*)()>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    std::printf("Tarnwick.dll benchmark%s%s\n\n", wineVersion ? ", Wine " : "", wineVersion ? wineVersion() : "");

    constexpr uint32_t kMenuCommand = 40001;  // a command id of the client's menu, not the upload
    std::vector<Case> cases = {
        {"empty cdecl export (ksh_empty_callback)", empty, {0x1234, WM_MOUSEMOVE, 0, 0x00640064, 0}},
        {"WM_MOUSEMOVE", module->on_wndproc, {0x1234, WM_MOUSEMOVE, 0, 0x00640064, 0}},
        {"WM_PAINT", module->on_wndproc, {0x1234, WM_PAINT, 0, 0, 0}},
        {"WM_COMMAND, menu command 40001", module->on_wndproc, {0x1234, WM_COMMAND, kMenuCommand, 0, 0}},
        {"WM_COMMAND, the chat box's EN_CHANGE", module->on_wndproc, {0x1234, WM_COMMAND, 0x300012D, 0x5678, 0}},
    };
    constexpr int kRounds = 25;
    constexpr int kCalls = 4'000'000;
    // Rounds interleave the cases so that a busy moment of the machine hits all alike.
    for (int round = 0; round < kRounds; ++round) {
        for (Case& c : cases) c.best = std::min(c.best, NanosecondsPerCall(c.callback, c.message, kCalls));
    }
    std::printf("on_wndproc pass-through, ns per call (best of %d rounds of %d calls):\n", kRounds, kCalls);
    for (const Case& c : cases) {
        std::printf("  %-42s %6.2f ns", c.name, c.best);
        if (&c != &cases.front()) {
            std::printf("   %.2fx the empty export, %+.2f ns", c.best / cases.front().best, c.best - cases.front().best);
        }
        std::printf("\n");
    }

    const std::string hooked = HookHeapImports(module->library);
    module->on_module(KS_EVENT_INFORMATION, nullptr);  // builds strings: shows that the counters count
    const int informationHeapCalls = g_heapCalls;
    g_heapCalls = 0;
    int passThroughCalls = 0;
    for (const Case& c : cases) {
        if (c.callback != module->on_wndproc) continue;
        NanosecondsPerCall(c.callback, c.message, 1'000'000);
        passThroughCalls += 1'000'000;
    }
    std::printf("\nheap calls on the pass-through path: %d in %d calls\n", g_heapCalls, passThroughCalls);
    std::printf("  (counted in Tarnwick.dll's imports of %s; the information text made %d)\n", hooked.c_str(),
                informationHeapCalls);

    const std::string chosenFolder = folder + "\\Long Folder With Spaces";
    CreateDirectoryA(chosenFolder.c_str(), nullptr);
    const std::string chosen = chosenFolder + "\\my chosen dream.map";
    WriteBytes(chosen, "map");
    const std::string editorIni = folder + "\\editor.ini";
    std::printf("\neditor.ini with the MAP line last, microseconds per call (median):\n");
    struct Size {
        const char* name;
        size_t bytes;
        int reads, writes;
    } sizes[] = {{"1 KiB", 1024, 500, 100}, {"1 MiB", 1024 * 1024, 40, 20}};
    for (const Size& size : sizes) {
        WriteBytes(editorIni, IniOfSize(size.bytes));
        const double read = MedianMicroseconds(size.reads, [&] { ReadMapPointer(editorIni); });
        const double write = MedianMicroseconds(size.writes, [&] { WriteMapPointer(editorIni, chosen); });
        std::printf("  %-6s ReadMapPointer %9.1f us (%d runs)   WriteMapPointer %9.1f us (%d runs)\n", size.name,
                    read, size.reads, write, size.writes);
    }

    WIN32_FILE_ATTRIBUTE_DATA dll = {};
    GetFileAttributesExA((bin + "\\Tarnwick.dll").c_str(), GetFileExInfoStandard, &dll);
    std::printf("\nTarnwick.dll: %lu bytes\n", dll.nFileSizeLow);

    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
