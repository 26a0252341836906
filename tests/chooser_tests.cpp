#include <gtest/gtest.h>

#include "maps/chooser.h"
#include "module/state.h"
#include "support/fake_host.h"

namespace {

class Chooser : public ModuleTest {
protected:
    MapFileDialog dialog;
};

TEST_F(Chooser, RecordStartsAtTheCurrentMap) {
    g_state.clientWindow = reinterpret_cast<HWND>(0x1234);
    PrepareMapFileDialog(dialog, "C:\\Maps\\One.map");
    const OPENFILENAMEA& record = dialog.record;
    EXPECT_EQ(record.lStructSize, 88u);
    EXPECT_EQ(record.hwndOwner, reinterpret_cast<HWND>(0x1234));
    EXPECT_STREQ(record.lpstrFile, "C:\\Maps\\One.map");
    EXPECT_EQ(record.nMaxFile, 2049u);
    EXPECT_EQ(std::string(record.lpstrFilter, 45),
              std::string("Map Files (*.map)\0*.map\0All Files (*.*)\0*.*\0\0", 45));
    EXPECT_EQ(record.nFilterIndex, 1u);
    EXPECT_EQ(record.lpstrFileTitle, nullptr);
    EXPECT_EQ(record.nMaxFileTitle, 0u);
    EXPECT_STREQ(record.lpstrInitialDir, "C:\\Maps\\");
    EXPECT_EQ(record.Flags, 0x1800u);
    EXPECT_STREQ(record.lpstrTitle, "Tarnwick: Choose a MAP file...");
    EXPECT_EQ(record.lpstrCustomFilter, nullptr);
    EXPECT_EQ(record.lpstrDefExt, nullptr);
    EXPECT_EQ(record.lpfnHook, nullptr);
    EXPECT_EQ(record.FlagsEx, 0u);
}

TEST_F(Chooser, EmptyOrBareNamesGiveAnEmptyInitialFolder) {
    PrepareMapFileDialog(dialog, "");
    EXPECT_STREQ(dialog.record.lpstrFile, "");
    ASSERT_NE(dialog.record.lpstrInitialDir, nullptr);
    EXPECT_STREQ(dialog.record.lpstrInitialDir, "");
    EXPECT_EQ(dialog.record.hwndOwner, nullptr);

    PrepareMapFileDialog(dialog, "One.map");
    EXPECT_STREQ(dialog.record.lpstrFile, "One.map");
    EXPECT_STREQ(dialog.record.lpstrInitialDir, "");
    PrepareMapFileDialog(dialog, "D:One.map");
    EXPECT_STREQ(dialog.record.lpstrInitialDir, "D:");
}

TEST_F(Chooser, LongPathsAreCutInTheBufferButNotInTheFolder) {
    const std::string folder = "C:\\" + std::string(2100, 'f') + "\\";
    PrepareMapFileDialog(dialog, folder + "One.map");
    EXPECT_EQ(std::string(dialog.record.lpstrFile), (folder + "One.map").substr(0, 2048));
    EXPECT_EQ(dialog.record.lpstrInitialDir, folder);
}

}  // namespace
