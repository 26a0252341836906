// The built Tarnwick.dll driven through the stand-in framework, as the game
// client would load it.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include <cderr.h>

#include "module/scoped_win.h"

#include "support/loaded_module.h"
#include "support/temp_folder.h"
#include "tarnwick_version.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kInformationWithControlT = {
    "Tarnwick: A module to help people with more than one dream they wish to upload.",
    "Tarnwick: Version " TARNWICK_VERSION_TEXT ", Created by Tovin.", "Tarnwick: Commands: @TW-F12, @TW-CTRLT",
    "Tarnwick: Press Control-T to activate."};

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

class ModuleInFramework : public ::testing::Test {
protected:
    void SetUp() override { ksh_set_folders(client.Path().c_str(), client.Path().c_str(), docs.Path().c_str()); }
    void Start(uint32_t id) { EXPECT_EQ(module->on_module(0, &id), 0); }

    TempFolder client;
    TempFolder docs;
    LoadedModule module;
};

TEST_F(ModuleInFramework, StartsAsksForItsFoldersAndSpeaks) {
    ASSERT_TRUE(module);
    Start(7);
    EXPECT_STREQ(ksh_service_log(), "clroot cldataroot moddocroot(7)");
    EXPECT_EQ(module->on_module(4, nullptr), 0);
    EXPECT_EQ(module.TakeSpoken(), kInformationWithControlT);
}

TEST_F(ModuleInFramework, EventsWithoutEffectDoNothing) {
    ASSERT_TRUE(module);
    for (uint32_t event : {2u, 3u, 5u, 6u, 100u, 0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(module->on_module(event, nullptr), 0) << event;
    }
    EXPECT_EQ(module->on_module(0, nullptr), 0);  // no module id: nothing to start with
    EXPECT_STREQ(ksh_service_log(), "");
    EXPECT_TRUE(module.TakeSpoken().empty());
    EXPECT_FALSE(docs.Exists("Tarnwick.ini"));
    EXPECT_EQ(module->on_world(), 0);
    EXPECT_EQ(module->on_inet(), 0);
    EXPECT_EQ(module->on_onet(), 0);
    EXPECT_EQ(module->on_client(1, 0x1234), 0);
}

TEST_F(ModuleInFramework, ZeroedStateBeforeStartTakesNothing) {
    ASSERT_TRUE(module);
    HostMessage f12 = {0, 0x100, 0x7B, 0, 9};
    HostMessage upload = {0, 0x111, 0x10079, 0, 9};
    EXPECT_EQ(module->on_wndproc(&f12), 0);
    EXPECT_EQ(module->on_wndproc(&upload), 0);
    EXPECT_EQ(module->on_wndproc(nullptr), 0);
    EXPECT_EQ(upload.result, 9);
    EXPECT_TRUE(module.TakeSpoken().empty());
}

TEST_F(ModuleInFramework, TogglesSurviveASaveAndRestart) {
    ASSERT_TRUE(module);
    docs.Write("Tarnwick.ini", "[Main]\r\nFlags=7\r\n");
    Start(3);
    const char* f12[] = {"tw-f12"};
    EXPECT_EQ(module->on_command(1, f12), -1);  // F12 now off
    EXPECT_EQ(module->on_module(1, nullptr), 0);
    EXPECT_NE(docs.Read("Tarnwick.ini").find("Flags=2"), std::string::npos);
    module.TakeSpoken();

    EXPECT_EQ(module->on_command(1, f12), -1);  // on again, but never saved
    Start(3);
    module->on_module(4, nullptr);
    const Lines spoken = module.TakeSpoken();
    EXPECT_EQ(spoken[0], "Tarnwick: F12 is Enabled");
    EXPECT_EQ(spoken.back(), "Tarnwick: Press Control-T to activate.");
}

TEST_F(ModuleInFramework, SettingsFileDecidesTheActiveKeys) {
    ASSERT_TRUE(module);
    const struct {
        const char* file;  // nullptr: no settings file at all
        const char* fourthLine;
        const char* saved;
    } cases[] = {
        {nullptr, "Tarnwick: Press Control-T to activate.", "Flags=2"},
        {"[Main]\r\nFlags=0\r\n", "Tarnwick: All key commands disabled.", "Flags=0"},
        {"[Main]\r\nFlags=1\r\n", "Tarnwick: Press F12 to activate.", "Flags=1"},
        {"[Main]\r\nFlags=2\r\n", "Tarnwick: Press Control-T to activate.", "Flags=2"},
        {"[Main]\r\nFlags=3\r\n", "Tarnwick: Press F12 or Control-T to activate.", "Flags=3"},
        {"[Main]\r\nFlags=7\r\n", "Tarnwick: Press F12 or Control-T to activate.", "Flags=3"},
        {"[main]\r\nflags=$1\r\n", "Tarnwick: Press F12 to activate.", "Flags=1"},
        {"[Main]\r\nFlags=2.0\r\n", "Tarnwick: Press Control-T to activate.", "Flags=2"},
    };
    for (const auto& c : cases) {
        DeleteFileA(docs.PathOf("Tarnwick.ini").c_str());
        if (c.file) docs.Write("Tarnwick.ini", c.file);
        Start(1);
        module->on_module(4, nullptr);
        EXPECT_EQ(module.TakeSpoken().back(), c.fourthLine) << (c.file ? c.file : "no file");
        module->on_module(1, nullptr);
        // Which case an existing key keeps is the system's business.
        EXPECT_NE(LowerCase(docs.Read("Tarnwick.ini")).find(LowerCase(c.saved)), std::string::npos)
            << docs.Read("Tarnwick.ini");
    }
}

TEST_F(ModuleInFramework, ChatCommandsToggleTheirKeys) {
    ASSERT_TRUE(module);
    Start(1);
    const char* lower[] = {"tw-f12"};
    const char* mixed[] = {"Tw-CtrlT", "with", "words"};
    const char* blank[] = {"TW-F12 extra"};
    const char* accented[] = {"tw-\xE7trlt"};
    EXPECT_EQ(module->on_command(1, lower), -1);
    EXPECT_EQ(module->on_command(3, mixed), -1);
    EXPECT_EQ(module->on_command(1, blank), 0);
    EXPECT_EQ(module->on_command(1, accented), 0);
    EXPECT_EQ(module->on_command(0, lower), 0);
    EXPECT_EQ(module->on_command(-5, lower), 0);
    EXPECT_EQ(module->on_command(1, nullptr), 0);
    module->on_module(4, nullptr);
    EXPECT_EQ(module.TakeSpoken(), (Lines{"Tarnwick: F12 is Enabled", "Tarnwick: Control-T is Disabled",
                                         kInformationWithControlT[0], kInformationWithControlT[1],
                                         kInformationWithControlT[2], "Tarnwick: Press F12 to activate."}));
}

TEST_F(ModuleInFramework, UnloadAndReloadStartsFromZero) {
    ASSERT_TRUE(module);
    Start(1);
    const char* f12[] = {"TW-F12"};
    module->on_command(1, f12);
    ksh_unload_module();
    ASSERT_TRUE(ksh_load_module(ModulePath().c_str()));
    module.TakeSpoken();
    module->on_module(4, nullptr);
    EXPECT_EQ(module.TakeSpoken().back(), "Tarnwick: All key commands disabled.");
}

// GetProcessHandleCount and PrivateUsage read 0 under Wine: handles are
// counted in the system's handle list, committed memory is PagefileUsage.
std::pair<long, long> HandlesAndCommittedBytes() {
    struct HandleEntry { ULONG ownerPid; BYTE type, flags; USHORT value; PVOID object; ULONG access; };
    constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    std::vector<char> list(1 << 16);
    while (NtQuerySystemInformation(kSystemHandleInformation, list.data(), list.size(), nullptr) ==
           static_cast<NTSTATUS>(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
        list.resize(list.size() * 2);
    }
    const auto* entries = reinterpret_cast<const HandleEntry*>(list.data() + sizeof(ULONG));
    const auto count = *reinterpret_cast<const ULONG*>(list.data());
    PROCESS_MEMORY_COUNTERS memory = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return {std::count_if(entries, entries + count, [](auto& entry) { return entry.ownerPid == GetCurrentProcessId(); }),
            static_cast<long>(memory.PagefileUsage)};
}

// A client may load and unload its modules many times in one session.
TEST_F(ModuleInFramework, LoadingAndUnloadingLeavesNothingBehind) {
    // Wine's comdlg32 leaves a mutex behind at each of its own unloads (a
    // plain C DLL that imports it shows the same); the client keeps it loaded.
    const HMODULE dialogs = LoadLibraryA("comdlg32.dll");
    const auto cycle = [path = ModulePath()] {
        const KsModule* loaded = ksh_load_module(path.c_str());
        ASSERT_TRUE(loaded);
        uint32_t id = 1;
        loaded->on_module(KS_EVENT_START, &id);
        loaded->on_module(KS_EVENT_SAVE, nullptr);
        ksh_unload_module();
    };
    for (int i = 0; i < 20; ++i) cycle();  // the first loads bring in system libraries
    // Enough to tell a leak of a few hundred bytes a cycle from the heap's own
    // growth (about 100 bytes a cycle over 200 or 1000 cycles under Wine 8).
    // Each cycle costs a fifth of a second in an emulated machine: 200 there.
    const long kCycles = TimeScale() > 1 ? 200 : 1000;
    const auto [handlesBefore, bytesBefore] = HandlesAndCommittedBytes();
    for (int i = 0; i < kCycles; ++i) cycle();
    const auto [handlesAfter, bytesAfter] = HandlesAndCommittedBytes();
    FreeLibrary(dialogs);
    ASSERT_GT(handlesBefore, 0);
    // GCC 12's unwinder, linked in statically, makes a semaphore for its table
    // of exception frames at every load and never closes it: one per cycle,
    // under Wine 8 and 10 alike. GCC 14's locks it with a critical section, no
    // handle. The DLLs link the runtime of the GCC that built this test.
    const long kHandlesOfTheRuntime = __GNUC__ >= 14 ? 0 : kCycles;
    EXPECT_LE(handlesAfter - handlesBefore, kHandlesOfTheRuntime + 10) << handlesBefore << " before";
    EXPECT_LE(bytesAfter - bytesBefore, kCycles * 512) << (bytesAfter - bytesBefore) / kCycles << " bytes per cycle";
}

}  // namespace

// The adversary at every step, on the shipped DLL: each player operation is
// run once to count the calls of the module that can fail or touch the
// world (the interposer in the stand-in framework), then once for each call
// n, failing it as Windows can, copying the files as a kill before it would
// leave them, or changing the world there. After each run the invariants
// hold, and the next selection, from the files as they were left, works.
namespace adversary {

enum class Act { kStart, kCommandF12, kCommandControlT, kInformation, kControlT, kF12, kSave };
enum class Mode { kCount, kFail, kStop, kFront, kHeld };

// The old MAP is the longer one: a write in place cut short leaves a mix.
const std::string kOldIni = "[Editor]\r\nGrid=8\r\nMAP=C:\\Users\\Player\\Documents\\Dreams\\The Old Harbour at Dusk.map\r\n", kNewIni = "[Editor]\r\nGrid=8\r\nMAP=";
const char kGoodSettings[] = "; mine\r\n[Other]\r\nKeep=yes\r\n[Main]\r\nFlags=3\r\nNote=hello\r\n";
const std::string kUnicodeIni("\xFF\xFEG\0=\0" "8\0", 8);  // as Notepad saves "Unicode"

struct Operation {
    const char* name;
    Act act;
    const char* settings;         // Tarnwick.ini before; null: none
    const char* saved = nullptr;  // Tarnwick.ini after a save
    bool pick = true;             // the dialog's answer: the map, or a cancel
    bool twin = false;            // editor.ini has a second name: written in place
    bool readOnly = false;
    std::string_view ini = kOldIni;
    const char* refusal = nullptr;  // the line's end when editor.ini cannot take the map
};

const Operation kOperations[] = {
    {"load without Tarnwick.ini", Act::kStart, nullptr},
    {"load", Act::kStart, kGoodSettings},
    {"load with a damaged Tarnwick.ini", Act::kStart, "[Main]\r\nFla"},
    {"@TW-F12", Act::kCommandF12, kGoodSettings},
    {"@TW-CTRLT", Act::kCommandControlT, kGoodSettings},
    {"information", Act::kInformation, kGoodSettings},
    {"Control-T picks a map", Act::kControlT, kGoodSettings},
    {"F12 picks a map", Act::kF12, kGoodSettings},
    {"Control-T canceled", Act::kControlT, kGoodSettings, nullptr, false},
    {"Control-T picks a map for a linked editor.ini", Act::kControlT, kGoodSettings, nullptr, true, true},
    {"Control-T picks a map for a read-only editor.ini", Act::kControlT, kGoodSettings, nullptr, true, false, true,
     kOldIni, "create file \"%s\". Access denied"},
    {"Control-T picks a map for a Unicode editor.ini", Act::kControlT, kGoodSettings, nullptr, true, false, false,
     kUnicodeIni, "update file \"%s\". It is not plain text (it holds NUL bytes). Save it as ANSI text and choose the map again."},
    {"unload saves", Act::kSave, kGoodSettings, "; mine\r\n[Other]\r\nKeep=yes\r\n[Main]\r\nFlags=2\r\nNote=hello\r\n"},
    {"unload saves a first Tarnwick.ini", Act::kSave, nullptr, "[Main]\r\nFlags=3\r\n"},
};

// The ways Windows fails each call; memory fails as NULL whatever the code.
std::vector<DWORD> FailuresOf(const std::string& call) {
    if (call == "ks_speak") return {};
    if (call.starts_with("CreateFile")) return {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED};
    if (call == "GetFileAttributesA") return {ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED};
    if (call == "WriteFile") return {ERROR_HANDLE_DISK_FULL, ERROR_DISK_FULL, ERROR_WRITE_FAULT};
    if (call == "WritePrivateProfileStringA") return {ERROR_HANDLE_DISK_FULL, ERROR_DISK_FULL};
    if (call == "SetEndOfFile" || call == "FlushFileBuffers" || call == "CloseHandle") return {ERROR_DISK_FULL};
    if (call == "GetOpenFileNameW") return {CDERR_MEMALLOCFAILURE};
    if (call.ends_with("alloc")) return {ERROR_NOT_ENOUGH_MEMORY};
    return {ERROR_ACCESS_DENIED};
}

using Files = std::vector<std::pair<std::string, std::string>>;

// What a kill would leave in the folder: also the files that the module
// holds open without sharing, read through its own handle.
Files FilesIn(const TempFolder& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        const std::wstring path = entry.path().wstring();
        ScopedFile own(CreateFileW(path.c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr));
        const HANDLE file = own.IsValid() ? own.Get() : ksh_open_file(path.c_str());
        LARGE_INTEGER at = {}, size = {};
        SetFilePointerEx(file, {}, &at, FILE_CURRENT);
        GetFileSizeEx(file, &size);
        std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        SetFilePointerEx(file, {}, nullptr, FILE_BEGIN);
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        files.emplace_back(entry.path().filename().string(), bytes.substr(0, got));
    }
    return files;
}

void Restore(const TempFolder& folder, const Files& files) {
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(entry.path().c_str());
    }
    for (const auto& [name, bytes] : files) folder.Write(name, bytes);
}

class Adversary : public ModuleInFramework {
protected:
    void SetUp() override {
        ModuleInFramework::SetUp();
        maps.Write("Harbour at Dusk.map", "map");
        chosen = maps.PathOf("Harbour at Dusk.map");
        shortChosen = ShortPath(chosen);
        ksh_set_dialog_answer(Wide(chosen).c_str());
        ASSERT_GT(ksh_interpose(OnCall, this), 30);
        Start(1);
        module->on_client(KS_CLIENT_WINDOW, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(clientWindow)));
    }
    void TearDown() override {
        ksh_interpose(nullptr, nullptr);
        module->on_module(2, nullptr);  // lets go of the hold of the last selection
        DestroyWindow(clientWindow);
        DestroyWindow(otherWindow);
    }

    static DWORD KS_CALL OnCall(const char* call, int changesFile, void* context) {
        auto& table = *static_cast<Adversary*>(context);
        if (!table.counting) return 0;
        ++table.calls;
        if (table.mode == Mode::kCount) table.names.emplace_back(changesFile ? "*" + std::string(call) : call);
        if (std::string_view(call) == "SendInput" && !table.MapIsChosen()) table.keysBeforeTheMap = true;
        // A disk that filled up during a write stays full: it takes no later write.
        if (table.mode == Mode::kFail && table.error == ERROR_HANDLE_DISK_FULL && table.calls > table.at &&
            std::string_view(call) == "WriteFile")
            return ERROR_DISK_FULL;
        if (table.calls != table.at) return 0;
        switch (table.mode) {
            case Mode::kFail: table.failedCall = call; return table.error;
            case Mode::kStop: table.left = {FilesIn(table.client), FilesIn(table.docs)}; break;
            // Not at SendInput itself: whatever is in front as the keys go
            // gets them, and no check can tell (the upload's timer does).
            case Mode::kFront:
                if (std::string_view(call) != "SendInput") ksh_set_front(table.otherWindow, TRUE);
                break;
            case Mode::kHeld: ksh_set_held(table.openingKey, TRUE), ksh_set_held(VK_CONTROL, TRUE); break;
            default: break;
        }
        return 0;
    }

    std::string MapOf() const {
        const std::string text = "\n" + client.Read("editor.ini");
        const size_t at = text.find("\nMAP=");
        return at == std::string::npos ? "" : text.substr(at + 5, text.find('\r', at) - at - 5);
    }
    bool MapIsChosen() const { return MapOf() == shortChosen || MapOf() == chosen; }

    // The folders as a player's, the module started on them, the world calm.
    void Arrange(const Operation& operation) {
        Restore(client, {{"editor.ini", std::string(operation.ini)}});
        Restore(docs, {});
        if (operation.settings) docs.Write("Tarnwick.ini", operation.settings);
        if (operation.twin) CreateHardLinkA(client.PathOf("twin.ini").c_str(), client.PathOf("editor.ini").c_str(), nullptr);
        if (operation.readOnly) SetFileAttributesA(client.PathOf("editor.ini").c_str(), FILE_ATTRIBUTE_READONLY);
        ksh_set_front(clientWindow, FALSE);
        ksh_clear_sent_keys();
        if (operation.act != Act::kStart) Start(1);
        if (operation.act == Act::kSave) module->on_command(1, kF12Command);
        module.TakeSpoken();
    }

    // The player's operation as the framework calls it, and what it answers.
    int32_t Perform(const Operation& operation) {
        ksh_set_dialog_answer(operation.pick ? Wide(chosen).c_str() : nullptr);
        HostMessage message = {0, WM_COMMAND, 0x10079, 0, 9};
        switch (operation.act) {
            case Act::kStart: { uint32_t id = 1; return module->on_module(KS_EVENT_START, &id); }
            case Act::kCommandF12: return module->on_command(1, kF12Command) + 1;
            case Act::kCommandControlT: return module->on_command(1, kControlTCommand) + 1;
            case Act::kInformation: return module->on_module(KS_EVENT_INFORMATION, nullptr);
            case Act::kF12: message = {0, WM_KEYDOWN, VK_F12, 1, 9}; return module->on_wndproc(&message);
            case Act::kControlT: return module->on_wndproc(&message) + 1 + message.result;
            case Act::kSave: return module->on_module(KS_EVENT_SAVE, nullptr);
        }
        return -2;
    }

    // One run of the operation, the call at `at` treated as mode says;
    // the failures found, empty when every invariant holds.
    std::string Run(const Operation& operation, Mode runMode, int runAt = 0, DWORD runError = 0) {
        Arrange(operation);
        mode = runMode, at = runAt, error = runError, calls = 0, keysBeforeTheMap = false, left.reset(), failedCall.clear();
        openingKey = operation.act == Act::kF12 ? VK_F12 : 'T';
        const std::string settingsBefore = docs.Exists("Tarnwick.ini") ? docs.Read("Tarnwick.ini") : "";
        counting = true;
        const int32_t answer = Perform(operation);
        counting = false;
        std::string faults;
        const auto check = [&](bool holds, const std::string& what) {
            if (!holds) faults += what + "; ";
        };
        check(answer == 0, "answer " + std::to_string(answer));
        const Lines spoken = module.TakeSpoken();
        const std::string sent = ksh_sent_keys();
        const bool failed = runMode == Mode::kFail, selects = operation.act == Act::kControlT || operation.act == Act::kF12;
        check(!keysBeforeTheMap, "keys before MAP held the map");
        check(sent.find(Hex(otherWindow)) == std::string::npos, "keys into another window");
        const std::string news = "Tarnwick: New dream file is " + chosen;
        const std::string hint = news + ". Press Control-T to upload it.";
        Lines usual = UsualLines(operation);
        bool lines = spoken == usual || (selects && (spoken == Lines{hint} || spoken == Lines{news, hint}));
        if (!lines && failed && !spoken.empty()) {
            const std::string& last = spoken.back();
            const bool namesFile = last.find("editor.ini\"") != std::string::npos ||
                                   last.find("Tarnwick.ini") != std::string::npos ||
                                   last == "Tarnwick: Out of memory." || last.starts_with("Tarnwick: The map file dialog");
            lines = namesFile && Lines(spoken.begin(), spoken.end() - 1) ==
                                     Lines(usual.begin(), usual.begin() + std::min(usual.size(), spoken.size() - 1));
        }
        check(lines, "lines: " + Joined(spoken));
        // A write cut short says so, rather than what a read-back then finds.
        if (failed && error == ERROR_HANDLE_DISK_FULL && !spoken.empty() && spoken.back().find("editor.ini") != std::string::npos)
            check(spoken.back().ends_with("The disk took only part of it") || spoken.back().ends_with("Disk full"),
                  "a short write told as: " + spoken.back());
        const std::string ini = client.Read("editor.ini");
        const std::vector<std::string> iniTexts = {std::string(operation.ini), kNewIni + shortChosen + "\r\n",
                                                   kNewIni + chosen + "\r\n"};
        // Whole, or its old text in the copy beside it; no other leftover.
        const Files now = FilesIn(client);
        check(Recoverable(now, "editor.ini", iniTexts), "editor.ini: " + ini);
        for (const auto& [name, bytes] : now)
            check(name == "editor.ini" || name == "twin.ini" || (failedCall == "DeleteFileW") ||
                      (name.ends_with(".bak") && !std::ranges::count(iniTexts, ini) && runMode != Mode::kStop),
                  "left: " + name);
        for (const auto& [name, bytes] : FilesIn(docs)) check(name == "Tarnwick.ini", "left: " + name);
        check(!sent.empty() == (selects && ini != iniTexts[0] && spoken == Lines{news}), "keys: " + sent);
        const std::string settings = docs.Exists("Tarnwick.ini") ? docs.Read("Tarnwick.ini") : "";
        // A failure told leaves the file as it was, or its old text beside it.
        const std::string last = spoken.empty() ? "" : spoken.back();
        if (last.starts_with("Tarnwick: Cannot") && last.find("editor.ini\"") != std::string::npos)
            check(Recoverable(now, "editor.ini", {iniTexts[0]}), "editor.ini changed: " + ini);
        const std::string newSettings = operation.saved ? operation.saved : settingsBefore;
        if (last.starts_with("Tarnwick: Unable to write to")) check(settings == settingsBefore, "Tarnwick.ini changed: " + settings);
        // And the usual lines, that it was done.
        if (spoken == usual) check(settings == newSettings, "Tarnwick.ini not saved: " + settings);
        check(settings == newSettings || (runMode != Mode::kCount && settings == settingsBefore), "Tarnwick.ini: " + settings);
        // The key goes up, our Control-T comes back as the client's upload, the world is calm.
        ksh_set_held(VK_CONTROL, FALSE), ksh_set_held(openingKey, FALSE), ksh_set_front(clientWindow, FALSE);
        if (const HOOKPROC hook = ksh_key_hook()) hook(HC_ACTION, openingKey, LPARAM(0xC0000001));
        if (!sent.empty()) {
            HostMessage back = {0, WM_COMMAND, 0x10079, 0, 9};
            check(module->on_wndproc(&back) == 0, "our Control-T taken");
        }
        if (left) {
            check(Recoverable(left->first, "editor.ini", iniTexts), "killed: editor.ini: " + Joined(left->first));
            check(Recoverable(left->second, "Tarnwick.ini", {settingsBefore, newSettings}),
                  "killed: Tarnwick.ini: " + Joined(left->second));
            Restore(client, left->first);
            Restore(docs, left->second);
        }
        // A refused editor.ini stays refused: the next selection is the player's after mending it.
        if (operation.refusal) Restore(client, {{"editor.ini", kOldIni}});
        return faults + Again();
    }

    // After any run, from the files it left: the next selection by
    // Control-T writes the map and sends our Control-T once.
    std::string Again() {
        ksh_clear_sent_keys();
        ksh_set_dialog_answer(Wide(chosen).c_str());
        Start(1);
        HostMessage upload = {0, WM_COMMAND, 0x10079, 0, 9};
        if (module->on_wndproc(&upload) == 0) {  // a mark left for the player's own Control-T
            if (!MapIsChosen()) return "the old map uploaded";
            upload = {0, WM_COMMAND, 0x10079, 0, 9};
            if (module->on_wndproc(&upload) != -1) return "no dialog after the mark";
        }
        const Lines spoken = module.TakeSpoken();
        const std::string sent = ksh_sent_keys();
        if (const HOOKPROC hook = ksh_key_hook()) hook(HC_ACTION, 'T', LPARAM(0xC0000001));
        HostMessage back = {0, WM_COMMAND, 0x10079, 0, 9};
        module->on_wndproc(&back);
        if (spoken != Lines{"Tarnwick: New dream file is " + chosen} || !MapIsChosen() || sent.empty())
            return "then: " + Joined(spoken) + " " + sent + " MAP=" + MapOf();
        return "";
    }

    // What a kill leaves: the old text, the new one, or the old one in the
    // copy beside it that docs/faults.md tells the player of.
    static bool Recoverable(const Files& files, const std::string& name, const std::vector<std::string>& texts) {
        bool whole = texts[0].empty(), copy = false;
        for (const auto& [file, bytes] : files) {
            if (file == name) whole = std::ranges::count(texts, bytes) > 0;
            if (file.ends_with(".bak") && bytes == texts[0]) copy = true;
        }
        return whole || copy;
    }

    Lines UsualLines(const Operation& operation) const {
        switch (operation.act) {
            case Act::kCommandF12: return {"Tarnwick: F12 is Disabled"};
            case Act::kCommandControlT: return {"Tarnwick: Control-T is Disabled"};
            case Act::kInformation: {
                Lines lines = kInformationWithControlT;
                lines.back() = "Tarnwick: Press F12 or Control-T to activate.";
                return lines;
            }
            case Act::kControlT:
            case Act::kF12:
                if (operation.refusal) {
                    char line[512];
                    snprintf(line, sizeof line, operation.refusal, client.PathOf("editor.ini").c_str());
                    return {std::string("Tarnwick: Cannot ") + line};
                }
                return {operation.pick ? "Tarnwick: New dream file is " + chosen : "Tarnwick: Canceled. Dream not uploaded."};
            default: return {};
        }
    }

    static std::string Hex(HWND window) {
        char text[16];
        snprintf(text, sizeof text, "%p:", static_cast<void*>(window));
        return text;
    }
    static std::string Joined(const Lines& lines) {
        std::string text;
        for (const auto& line : lines) text += "[" + line + "]";
        return text;
    }
    template <class Files>
    static std::string Joined(const Files& files) {
        std::string text;
        for (const auto& [name, bytes] : files) text += name + "=" + bytes + " ";
        return text;
    }

    static constexpr const char* kF12Command[] = {"TW-F12"};
    static constexpr const char* kControlTCommand[] = {"TW-CTRLT"};
    TempFolder maps;
    HWND clientWindow = CreateWindowExA(0, "STATIC", "client", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND otherWindow = CreateWindowExA(0, "STATIC", "other", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::string chosen, shortChosen, failedCall;
    bool counting = false, keysBeforeTheMap = false;
    Mode mode = Mode::kCount;
    int at = 0, calls = 0;
    DWORD error = 0;
    int openingKey = 'T';
    std::vector<std::string> names;
    std::optional<std::pair<Files, Files>> left;
};

TEST_F(Adversary, EveryCallFailedStoppedOrTheWorldChanged) {
    ASSERT_TRUE(module);
    const auto [handlesBefore, bytesBefore] = HandlesAndCommittedBytes();
    for (const Operation& operation : kOperations) {
        names.clear();
        EXPECT_EQ(Run(operation, Mode::kCount), "") << operation.name;
        const std::vector<std::string> counted = names;
        const int total = calls;
        int fails = 0, stops = 0, worlds = 0;
        for (int n = 1; n <= total; ++n) {
            const std::string call = counted[n - 1];
            for (DWORD failure : FailuresOf(call[0] == '*' ? call.substr(1) : call)) {
                ++fails;
                EXPECT_EQ(Run(operation, Mode::kFail, n, failure), "") << operation.name << ": " << call << " #" << n << " fails with " << failure;
            }
            if (call[0] == '*') {
                ++stops;
                EXPECT_EQ(Run(operation, Mode::kStop, n), "") << operation.name << ": killed before " << call << " #" << n;
            }
            if (operation.act == Act::kControlT || operation.act == Act::kF12) {
                worlds += 2;
                EXPECT_EQ(Run(operation, Mode::kFront, n), "") << operation.name << ": another window in front at " << call << " #" << n;
                EXPECT_EQ(Run(operation, Mode::kHeld, n), "") << operation.name << ": the key held at " << call << " #" << n;
            }
        }
        printf("%s: %d calls, %d fail, %d stop, %d world runs\n", operation.name, total, fails, stops, worlds);
    }
    const auto [handlesAfter, bytesAfter] = HandlesAndCommittedBytes();
    printf("over the whole table: %ld handles, %ld bytes\n", handlesAfter - handlesBefore, bytesAfter - bytesBefore);
    EXPECT_LE(handlesAfter - handlesBefore, 2);
    EXPECT_LE(bytesAfter - bytesBefore, 256 << 10);
}

}  // namespace adversary
