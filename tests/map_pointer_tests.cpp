#include <gtest/gtest.h>

#include <windows.h>

#include "maps/map_pointer.h"
#include "module/file_error.h"
#include "module/scoped_win.h"
#include "module/state.h"
#include "support/fake_host.h"
#include "support/temp_folder.h"

namespace {

// The text that an error of the file layer carries, or "" when none was raised.
template <class Operation>
std::string ErrorOf(Operation operation) {
    try {
        operation();
    } catch (const FileError& error) {
        return error.what();
    }
    return "";
}

HANDLE OpenHeld(const std::string& path, DWORD access, DWORD share) {
    return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class MapPointer : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        g_state.mapPointerPath = data.PathOf("editor.ini");
        CreateDirectoryA(data.PathOf("Long Folder With Spaces").c_str(), nullptr);
        data.Write("Long Folder With Spaces\\my first dream.map", "map");
        chosen = data.PathOf("Long Folder With Spaces\\my first dream.map");
    }
    std::string Ini() const { return data.Read("editor.ini"); }

    TempFolder data;
    std::string chosen;
};

TEST_F(MapPointer, ReadsTheFirstMapEntryOfTheFile) {
    EXPECT_EQ(ReadMapPointer(), "");  // no file
    data.Write("editor.ini", "[Editor]\r\nmap=C:\\MAPS\\ONE.MAP\r\nMAP=C:\\TWO.MAP\r\n");
    EXPECT_EQ(ReadMapPointer(), "C:\\MAPS\\ONE.MAP");
    data.Write("editor.ini", std::string("A=1\r\n\0MAP=x\r\n", 13));
    EXPECT_EQ(ReadMapPointer(), "");
    data.Write("editor.ini", "\xEF\xBB\xBFMAP=x\r\n");
    EXPECT_EQ(ReadMapPointer(), "");
    data.Write("editor.ini", "MAP=a=b");
    EXPECT_EQ(ReadMapPointer(), "a=b");
}

TEST_F(MapPointer, HiddenFilesCountAndFoldersDoNot) {
    data.Write("editor.ini", "MAP=C:\\HIDDEN.MAP\r\n");
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(ReadMapPointer(), "C:\\HIDDEN.MAP");

    g_state.mapPointerPath = data.PathOf("folder.ini");
    CreateDirectoryA(g_state.mapPointerPath.c_str(), nullptr);
    EXPECT_EQ(ReadMapPointer(), "");
}

TEST_F(MapPointer, AFileHeldForWritingCannotBeRead) {
    data.Write("editor.ini", "MAP=C:\\A.MAP\r\n");
    ScopedFile writer(OpenHeld(g_state.mapPointerPath, GENERIC_WRITE, 0));
    ASSERT_TRUE(writer.IsValid());
    // Shown with its full path, even when the module holds a relative one.
    SetCurrentDirectoryA(data.Path().c_str());
    g_state.mapPointerPath = "editor.ini";
    const std::string error = ErrorOf(ReadMapPointer);
    const std::string prefix = "Cannot open file \"" + data.PathOf("editor.ini") + "\". ";
    ASSERT_EQ(error.substr(0, prefix.size()), prefix) << error;
    EXPECT_EQ(error.substr(prefix.size()), SystemMessageText(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(error.ends_with(".")) << error;
}

TEST_F(MapPointer, WritesTheShortPathWithCrLf) {
    WriteMapPointer(chosen);
    const std::string shortPath = ShortPath(chosen);
    ASSERT_FALSE(shortPath.empty());
    EXPECT_EQ(Ini(), "MAP=" + shortPath + "\r\n");
    EXPECT_EQ(ReadMapPointer(), shortPath);
    EXPECT_EQ(data.Listing(), "Long Folder With Spaces editor.ini");  // no temporary file left
}

TEST_F(MapPointer, KeepsEveryOtherLineInOrder) {
    data.Write("editor.ini", "[Editor]\r\nGrid=8\nmap=C:\\OLD.MAP\r\nSound=on\rMAP=C:\\STALE.MAP\r\nLast=1");
    WriteMapPointer(chosen);
    EXPECT_EQ(Ini(), "[Editor]\r\nGrid=8\r\nMAP=" + ShortPath(chosen) + "\r\nSound=on\r\nLast=1\r\n");
}

TEST_F(MapPointer, WritesTheLongPathWhenThereIsNoShortForm) {
    const std::string missing = data.PathOf("Gone Folder\\no such dream.map");
    WriteMapPointer(missing);
    EXPECT_EQ(Ini(), "MAP=" + missing + "\r\n");
}

TEST_F(MapPointer, HiddenFileStaysHidden) {
    data.Write("editor.ini", "Grid=8\r\n");
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteMapPointer(chosen);
    EXPECT_EQ(Ini(), "MAP=" + ShortPath(chosen) + "\r\nGrid=8\r\n");
    EXPECT_TRUE(GetFileAttributesA(g_state.mapPointerPath.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(MapPointer, RefusedWritesLeaveTheOldBytesAndNoTemporaryFile) {
    const std::string old = "Grid=8\r\nMAP=C:\\OLD.MAP\r\n";
    const std::string createError = "Cannot create file \"" + data.PathOf("editor.ini") + "\". ";
    data.Write("editor.ini", old);
    {
        // Another program reads the file without letting it be replaced:
        // the new text is written beside it, then the rename fails.
        ScopedFile reader(OpenHeld(g_state.mapPointerPath, GENERIC_READ, FILE_SHARE_READ));
        ASSERT_TRUE(reader.IsValid());
        EXPECT_TRUE(ErrorOf([&] { WriteMapPointer(chosen); }).starts_with(createError));
    }
    {
        ScopedFile writer(OpenHeld(g_state.mapPointerPath, GENERIC_WRITE, 0));
        ASSERT_TRUE(writer.IsValid());
        EXPECT_EQ(ErrorOf([&] { WriteMapPointer(chosen); }),
                  createError + SystemMessageText(ERROR_SHARING_VIOLATION));
    }
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOf([&] { WriteMapPointer(chosen); }), createError + SystemMessageText(ERROR_ACCESS_DENIED));
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(Ini(), old);
    EXPECT_EQ(data.Listing(), "Long Folder With Spaces editor.ini");

    const std::string utf16("\xFF\xFEG\0=\0" "8\0", 8);  // as Notepad saves "Unicode"
    data.Write("editor.ini", utf16);
    EXPECT_EQ(ErrorOf([&] { WriteMapPointer(chosen); }),
              "Cannot update \"" + data.PathOf("editor.ini") +
                  "\": it is not plain text (it holds NUL bytes). Save it as ANSI text and choose the map again.");
    EXPECT_EQ(Ini(), utf16);
}

TEST_F(MapPointer, MissingDataFolderCannotBeCreated) {
    g_state.mapPointerPath = data.PathOf("Missing\\editor.ini");
    EXPECT_EQ(ErrorOf([&] { WriteMapPointer(chosen); }),
              "Cannot create file \"" + g_state.mapPointerPath + "\". " + SystemMessageText(ERROR_PATH_NOT_FOUND));
}

}  // namespace
