#include <gtest/gtest.h>

#include "maps/chooser.h"
#include "module/state.h"
#include "support/fake_host.h"
#include "support/path_forms.h"
#include "support/temp_folder.h"

namespace {

class Chooser : public ModuleTest {
protected:
    MapFileDialog dialog;
};

TEST_F(Chooser, RecordStartsAtTheCurrentMap) {
    const HWND client = CreateWindowA("STATIC", "client", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    g_state.clientWindow = client;
    PrepareMapFileDialog(dialog, "C:\\Maps\\One.map");
    const OPENFILENAMEW& record = dialog.record;
    EXPECT_EQ(record.lStructSize, 88u);
    EXPECT_EQ(record.hwndOwner, client);
    EXPECT_STREQ(record.lpstrFile, L"C:\\Maps\\One.map");
    EXPECT_EQ(record.nMaxFile, 2049u);
    EXPECT_EQ(std::wstring(record.lpstrFilter, 45),
              std::wstring(L"Map Files (*.map)\0*.map\0All Files (*.*)\0*.*\0\0", 45));
    EXPECT_EQ(record.nFilterIndex, 1u);
    EXPECT_EQ(record.lpstrFileTitle, nullptr);
    EXPECT_EQ(record.nMaxFileTitle, 0u);
    EXPECT_STREQ(record.lpstrInitialDir, L"C:\\Maps\\");
    EXPECT_EQ(record.Flags, 0x1800u);
    EXPECT_STREQ(record.lpstrTitle, L"Tarnwick: Choose a MAP file...");
    EXPECT_EQ(record.lpstrCustomFilter, nullptr);
    EXPECT_EQ(record.lpstrDefExt, nullptr);
    EXPECT_EQ(record.lpfnHook, nullptr);
    EXPECT_EQ(record.FlagsEx, 0u);

    // A client window that has gone owns nothing: the dialog opens without an owner.
    DestroyWindow(client);
    PrepareMapFileDialog(dialog, "C:\\Maps\\One.map");
    EXPECT_EQ(dialog.record.hwndOwner, nullptr);
}

TEST_F(Chooser, EmptyOrBareNamesGiveAnEmptyInitialFolder) {
    PrepareMapFileDialog(dialog, "");
    EXPECT_STREQ(dialog.record.lpstrFile, L"");
    ASSERT_NE(dialog.record.lpstrInitialDir, nullptr);
    EXPECT_STREQ(dialog.record.lpstrInitialDir, L"");
    EXPECT_EQ(dialog.record.hwndOwner, nullptr);

    PrepareMapFileDialog(dialog, "One.map");
    EXPECT_STREQ(dialog.record.lpstrFile, L"One.map");
    EXPECT_STREQ(dialog.record.lpstrInitialDir, L"");
    PrepareMapFileDialog(dialog, "D:One.map");
    EXPECT_STREQ(dialog.record.lpstrInitialDir, L"D:");
}

TEST_F(Chooser, LongPathsAreCutInTheBufferButNotInTheFolder) {
    const std::wstring folder = L"C:\\" + std::wstring(2100, L'f') + L"\\";
    PrepareMapFileDialog(dialog, "C:\\" + std::string(2100, 'f') + "\\One.map");
    EXPECT_EQ(std::wstring(dialog.record.lpstrFile), (folder + L"One.map").substr(0, 2048));
    EXPECT_EQ(dialog.record.lpstrInitialDir, folder);
}

TEST_F(Chooser, MapGetsTheShortFormAndTheChatTheLongOne) {
    TempFolder data;
    data.Write("a long dream name.map", "map");
    const std::string chosen = data.PathOf("a long dream name.map");
    const ClientPaths paths = ClientPathsOf(Wide(chosen));
    EXPECT_EQ(paths.mapValue, ShortPath(chosen));
    EXPECT_NE(paths.mapValue, chosen);
    EXPECT_EQ(paths.chatText, chosen);
    // A file the volume keeps no short name for (here: none at all) goes in by its long form.
    const std::string missing = data.PathOf("Gone Folder\\no such dream.map");
    EXPECT_EQ(ClientPathsOf(Wide(missing)).mapValue, missing);
}

}  // namespace
