// The built Tarnwick.dll driven through the stand-in framework, as the game
// client would load it.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "support/design_texts.h"
#include "support/loaded_module.h"
#include "support/temp_folder.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kInformationWithControlT = InformationLines(false, true);

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
    Lines expected = {"Tarnwick: F12 is Enabled", "Tarnwick: Control-T is Disabled"};
    for (const std::string& line : InformationLines(true, false)) expected.push_back(line);
    EXPECT_EQ(module.TakeSpoken(), expected);
}

TEST_F(ModuleInFramework, AFailedSaveBecomesAChatLine) {
    ASSERT_TRUE(module);
    const std::string missing = docs.PathOf("no such folder");
    ksh_set_folders(client.Path().c_str(), client.Path().c_str(), missing.c_str());
    Start(1);
    EXPECT_EQ(module->on_module(1, nullptr), 0);
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: Unable to write to " + missing + "\\Tarnwick.ini"});
    // Still alive and answering.
    EXPECT_EQ(module->on_module(4, nullptr), 0);
    EXPECT_EQ(module.TakeSpoken(), kInformationWithControlT);
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
