#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "module/exports.h"
#include "module/state.h"
#include "support/fake_host.h"
#include "support/temp_folder.h"

namespace {

class Settings : public ModuleTest {
protected:
    void Start(uint32_t moduleId = 7) { EXPECT_EQ(on_module(KS_EVENT_START, &moduleId), 0); }
    void StartWithFlags(const std::string& value) {
        docs.Write("Tarnwick.ini", "[Main]\r\nFlags=" + value + "\r\n");
        Fake().moduleDocRoot = docs.Path();
        Start();
    }
    TempFolder docs;
};

TEST_F(Settings, FoldersAreAskedInOrderAndPathsDerived) {
    Fake().clientRoot = "C:\\Games\\Client";
    Fake().clientDataRoot = "C:\\Games\\Client\\Data";
    Fake().moduleDocRoot = docs.Path();
    Start(7);
    EXPECT_EQ(Fake().serviceCalls, (std::vector<std::string>{"clroot", "cldataroot", "moddocroot(7)"}));
    EXPECT_EQ(g_state.moduleId, 7u);
    EXPECT_EQ(g_state.clientRoot, "C:\\Games\\Client");
    EXPECT_EQ(g_state.clientDataRoot, "C:\\Games\\Client\\Data\\");
    EXPECT_EQ(g_state.mapPointerPath, "C:\\Games\\Client\\Data\\editor.ini");
    EXPECT_EQ(g_state.settingsPath, docs.Path() + "\\Tarnwick.ini");

    Fake().clientDataRoot = "C:\\Games\\Client\\";
    Fake().moduleDocRoot = "C:\\Docs\\";
    Start();
    EXPECT_EQ(g_state.mapPointerPath, "C:\\Games\\Client\\editor.ini");
    EXPECT_EQ(g_state.settingsPath, "C:\\Docs\\\\Tarnwick.ini");  // the doubled backslash is kept
}

TEST_F(Settings, NullAndEmptyFoldersReadAsEmpty) {
    Start();
    EXPECT_EQ(g_state.clientRoot, "");
    EXPECT_EQ(g_state.clientDataRoot, "");
    EXPECT_EQ(g_state.mapPointerPath, "editor.ini");
    EXPECT_EQ(g_state.settingsPath, "\\Tarnwick.ini");
    Fake().clientDataRoot = "";
    Start();
    EXPECT_EQ(g_state.clientDataRoot, "");
}

TEST_F(Settings, NoSettingsFileMeansControlTOnly) {
    Fake().moduleDocRoot = docs.Path();
    Start();
    EXPECT_FALSE(g_state.f12Enabled);
    EXPECT_TRUE(g_state.controlTEnabled);
    EXPECT_FALSE(docs.Exists("Tarnwick.ini"));  // reading creates nothing
}

TEST_F(Settings, FlagsValuesFromTheFile) {
    struct {
        const char* value;
        bool f12, controlT;
    } cases[] = {{"0", false, false}, {"1", true, false}, {"2", false, true}, {"3", true, true},
                 {"0x1", true, false}, {"$1", true, false}, {"x1", true, false}, {"7", true, true},
                 {"-1", true, true}, {"$FFFFFFFF", true, true}, {"0010", false, true},
                 {"abc", false, true}, {"2.0", false, true}, {"", false, true}};
    for (const auto& c : cases) {
        StartWithFlags(c.value);
        EXPECT_EQ(g_state.f12Enabled, c.f12) << c.value;
        EXPECT_EQ(g_state.controlTEnabled, c.controlT) << c.value;
    }
}

TEST_F(Settings, SaveWritesTheSwitchesAndKeepsTheRestOfTheFile) {
    docs.Write("Tarnwick.ini", "; mine\r\n[Other]\r\nKeep=yes\r\n[Main]\r\nFlags=7\r\nNote=hello\r\n");
    Fake().moduleDocRoot = docs.Path();
    Start();
    EXPECT_EQ(on_module(KS_EVENT_SAVE, nullptr), 0);
    const std::string saved = docs.Read("Tarnwick.ini");
    EXPECT_NE(saved.find("Flags=3"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Keep=yes"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Note=hello"), std::string::npos) << saved;
    EXPECT_NE(saved.find("; mine"), std::string::npos) << saved;

    for (int flags = 0; flags < 4; ++flags) {
        g_state.f12Enabled = flags & 1;
        g_state.controlTEnabled = flags & 2;
        on_module(KS_EVENT_SAVE, nullptr);
        Start();
        EXPECT_EQ(g_state.f12Enabled, (flags & 1) != 0);
        EXPECT_EQ(g_state.controlTEnabled, (flags & 2) != 0);
    }
    EXPECT_TRUE(TakeSpoken().empty());
}

// Another client saves its switches while this one runs (docs.Write).
TEST_F(Settings, ASaveWritesOnlyWhatThisClientChanged) {
    StartWithFlags("2");
    const auto savedAfterTheOtherClients = [&](const char* flags) {
        docs.Write("Tarnwick.ini", std::string("[Main]\r\nFlags=") + flags + "\r\n");
        on_module(KS_EVENT_SAVE, nullptr);
        return docs.Read("Tarnwick.ini");
    };
    EXPECT_EQ(savedAfterTheOtherClients("3"), "[Main]\r\nFlags=3\r\n");  // this one changed nothing
    g_state.controlTEnabled = false;
    EXPECT_EQ(savedAfterTheOtherClients("3"), "[Main]\r\nFlags=1\r\n");
    // Its change is saved already: the other client's Control-T stays on.
    EXPECT_EQ(savedAfterTheOtherClients("2"), "[Main]\r\nFlags=2\r\n");
    EXPECT_TRUE(TakeSpoken().empty());
}

TEST_F(Settings, UnwritableSettingsAreReportedNotThrown) {
    Fake().moduleDocRoot = docs.PathOf("missing");
    Start();
    g_state.f12Enabled = true;
    EXPECT_EQ(on_module(KS_EVENT_SAVE, nullptr), 0);
    EXPECT_EQ(TakeSpoken(), std::vector<std::string>{"Tarnwick: Unable to write to " + docs.PathOf("missing") +
                                                      "\\Tarnwick.ini"});
    EXPECT_TRUE(g_state.f12Enabled);
}

// Past what the profile functions take, Wine's read and wrote win.ini: a
// value planted there must not be read, and nothing may be written there.
TEST_F(Settings, SettingsPathsTooLongForTheProfileFunctionsNeverReachWinIni) {
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "Flags", "1", "win.ini"));
    const std::shared_ptr<void> removePlanted(nullptr, [](void*) { WritePrivateProfileStringA("Main", nullptr, nullptr, "win.ini"); });
    Fake().moduleDocRoot = docs.PathOf(std::string(32767, 'x'));
    Start();
    EXPECT_FALSE(g_state.f12Enabled);
    EXPECT_TRUE(g_state.controlTEnabled);
    g_state.controlTEnabled = false;
    on_module(KS_EVENT_SAVE, nullptr);
    EXPECT_EQ(TakeSpoken(), std::vector<std::string>{"Tarnwick: Unable to write to " + g_state.settingsPath});
    char planted[8] = {};
    GetPrivateProfileStringA("Main", "Flags", "", planted, sizeof planted, "win.ini");
    EXPECT_STREQ(planted, "1");
}

TEST_F(Settings, SecondStartDropsUnsavedToggles) {
    StartWithFlags("2");
    g_state.f12Enabled = true;
    g_state.controlTEnabled = false;
    Start();
    EXPECT_FALSE(g_state.f12Enabled);
    EXPECT_TRUE(g_state.controlTEnabled);
}

}  // namespace
