#include <gtest/gtest.h>

#include <windows.h>

#include "maps/map_pointer.h"
#include "module/file_error.h"
#include "module/scoped_win.h"
#include "module/state.h"
#include "support/fake_host.h"
#include "support/temp_folder.h"

namespace {

HANDLE OpenHeld(const std::string& path, DWORD access, DWORD share) {
    return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The names that a write in this process tries for its new file, in order.
std::string NewFileName(DWORD attempt) {
    char name[16];
    snprintf(name, sizeof name, "tw%04lx.tmp", (GetCurrentProcessId() + attempt) & 0xFFFF);
    return name;
}

// A symbolic link made and removed on the Linux side of Wine's drive, where
// players' tools make them: Wine 8 can neither make nor remove one.
class LinuxLink {
public:
    LinuxLink(const TempFolder& folder, const std::string& target, const std::string& name)
        : folder_(folder), name_(name), made_(Run("/bin/ln -s " + target + " " + name, true)) {}
    ~LinuxLink() {
        if (made_) Run("/bin/rm " + name_, false);
    }
    bool Made() const { return made_; }

private:
    bool Run(std::string command, bool made) const {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.Path().c_str(),
                            &startup, &process))
            return false;  // not Wine
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        // Wine does not wait for a Linux program: wait for the link instead.
        for (int i = 0; i < 100 && folder_.Exists(name_) != made; ++i) Sleep(50);
        return folder_.Exists(name_) == made;
    }

    const TempFolder& folder_;
    std::string name_;
    bool made_;
};

// While it lives, files that this process writes may grow to `bytes` only,
// as on a nearly full disk: a write past that takes part of its text. The
// process must ignore SIGXFSZ, as scripts/wine-run has it; not Set()
// otherwise and outside Wine.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned bytes) : set_(Limit(std::to_string(bytes))) {}
    ~FileSizeLimit() {
        if (set_) Limit("unlimited");
    }
    bool Set() const { return set_; }

private:
    static bool Limit(const std::string& soft) {
        const std::string command = "m=$(sed -n 's/^SigIgn:\\s*//p' /proc/$PPID/status); "
                                    "[ $(( 0x$m >> 24 & 1 )) -eq 1 ] && prlimit --pid $PPID --fsize=" + soft + ":";
        return RunOnLinux({"/bin/sh", "-c", command.c_str()});
    }
    bool set_;
};

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
    // On the module's editor.ini, as the selection flow calls them.
    static std::string ReadEntry() { return ReadMapPointer(g_state.mapPointerPath); }
    static void WriteEntry(const std::string& value) { WriteMapPointer(g_state.mapPointerPath, value); }

    TempFolder data;
    std::string chosen;
};

TEST_F(MapPointer, ReadsTheFirstMapEntryOfTheFile) {
    EXPECT_EQ(ReadEntry(), "");  // no file
    data.Write("editor.ini", "[Editor]\r\nmap=C:\\MAPS\\ONE.MAP\r\nMAP=C:\\TWO.MAP\r\n");
    EXPECT_EQ(ReadEntry(), "C:\\MAPS\\ONE.MAP");
    data.Write("editor.ini", std::string("A=1\r\n\0MAP=x\r\n", 13));
    EXPECT_EQ(ReadEntry(), "");
    data.Write("editor.ini", "\xEF\xBB\xBFMAP=x\r\n");
    EXPECT_EQ(ReadEntry(), "");
    data.Write("editor.ini", "MAP=a=b");
    EXPECT_EQ(ReadEntry(), "a=b");
}

TEST_F(MapPointer, HiddenFilesCountAndFoldersDoNot) {
    data.Write("editor.ini", "MAP=C:\\HIDDEN.MAP\r\n");
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(ReadEntry(), "C:\\HIDDEN.MAP");

    g_state.mapPointerPath = data.PathOf("folder.ini");
    CreateDirectoryA(g_state.mapPointerPath.c_str(), nullptr);
    EXPECT_EQ(ReadEntry(), "");
}

TEST_F(MapPointer, AFileHeldForWritingCannotBeRead) {
    data.Write("editor.ini", "MAP=C:\\A.MAP\r\n");
    ScopedFile writer(OpenHeld(g_state.mapPointerPath, GENERIC_WRITE, 0));
    ASSERT_TRUE(writer.IsValid());
    // Shown with its full path, even when the module holds a relative one.
    SetCurrentDirectoryA(data.Path().c_str());
    g_state.mapPointerPath = "editor.ini";
    const std::string error = ErrorOf(ReadEntry);
    const std::string prefix = "Cannot open file \"" + data.PathOf("editor.ini") + "\". ";
    ASSERT_EQ(error.substr(0, prefix.size()), prefix) << error;
    EXPECT_EQ(error.substr(prefix.size()), SystemMessageText(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(error.ends_with(".")) << error;
}

TEST_F(MapPointer, WritesTheValueWithCrLf) {
    WriteEntry(chosen);
    EXPECT_EQ(Ini(), "MAP=" + chosen + "\r\n");
    EXPECT_EQ(ReadEntry(), chosen);
    EXPECT_EQ(data.Listing(), "Long Folder With Spaces editor.ini");  // no temporary file left
}

TEST_F(MapPointer, KeepsEveryOtherLineInOrder) {
    data.Write("editor.ini", "[Editor]\r\nGrid=8\nmap=C:\\OLD.MAP\r\nSound=on\rMAP=C:\\STALE.MAP\r\nLast=1");
    WriteEntry(chosen);
    EXPECT_EQ(Ini(), "[Editor]\r\nGrid=8\r\nMAP=" + chosen + "\r\nSound=on\r\nLast=1\r\n");
}

TEST_F(MapPointer, HiddenFileStaysHidden) {
    data.Write("editor.ini", "Grid=8\r\n");
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteEntry(chosen);
    EXPECT_EQ(Ini(), "MAP=" + chosen + "\r\nGrid=8\r\n");
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
        EXPECT_TRUE(ErrorOf([&] { WriteEntry(chosen); }).starts_with(createError));
    }
    {
        ScopedFile writer(OpenHeld(g_state.mapPointerPath, GENERIC_WRITE, 0));
        ASSERT_TRUE(writer.IsValid());
        EXPECT_EQ(ErrorOf([&] { WriteEntry(chosen); }),
                  createError + SystemMessageText(ERROR_SHARING_VIOLATION));
    }
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOf([&] { WriteEntry(chosen); }), createError + SystemMessageText(ERROR_ACCESS_DENIED));
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(Ini(), old);
    EXPECT_EQ(data.Listing(), "Long Folder With Spaces editor.ini");

    const std::string utf16("\xFF\xFEG\0=\0" "8\0", 8);  // as Notepad saves "Unicode"
    data.Write("editor.ini", utf16);
    EXPECT_EQ(ErrorOf([&] { WriteEntry(chosen); }),
              "Cannot update file \"" + data.PathOf("editor.ini") +
                  "\". It is not plain text (it holds NUL bytes). Save it as ANSI text and choose the map again.");
    EXPECT_EQ(Ini(), utf16);
}

TEST_F(MapPointer, FilesOver16MiBAreNeitherReadNorRewritten) {
    // 4 GiB and 16 bytes, which a size cut to 32 bits would take for 16.
    ScopedFile file(CreateFileA(g_state.mapPointerPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(SetFilePointerEx(file.Get(), LARGE_INTEGER{.QuadPart = 0x100000010}, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.Get()) && file.Close());
    const std::string quoted = "\"" + g_state.mapPointerPath + "\"";
    EXPECT_EQ(ErrorOf(ReadEntry), "Cannot open file " + quoted + ". It is larger than 16 MiB");
    EXPECT_EQ(ErrorOf([&] { WriteEntry(chosen); }), "Cannot update file " + quoted + ". It is larger than 16 MiB");
}

TEST_F(MapPointer, PathsUpToMaxPathAreReplacedThroughANewFile) {
    // <data>\xx...x\editor.ini, the longest path that the ANSI calls take.
    const std::string folder(MAX_PATH - 1 - data.PathOf("\\editor.ini").size(), 'x');
    ASSERT_TRUE(CreateDirectoryA(data.PathOf(folder).c_str(), nullptr));
    g_state.mapPointerPath = data.PathOf(folder + "\\editor.ini");
    ASSERT_EQ(g_state.mapPointerPath.size(), MAX_PATH - 1u);
    data.Write(folder + "\\editor.ini", "Grid=8\r\n");
    const DWORD before = FileNumberOf(g_state.mapPointerPath);
    WriteEntry(chosen);
    EXPECT_EQ(data.Read(folder + "\\editor.ini"), "MAP=" + chosen + "\r\nGrid=8\r\n");
    EXPECT_NE(FileNumberOf(g_state.mapPointerPath), before);
}

TEST_F(MapPointer, NoLeftoverBlocksAWriteAndWithoutAFreeNameItGoesInPlace) {
    data.Write("editor.ini", "Grid=8\r\n");
    // Leftovers of interrupted writes, under this and the earlier naming.
    CreateDirectoryA(data.PathOf("editor.ini.tarnwick-new").c_str(), nullptr);
    CreateDirectoryA(data.PathOf(NewFileName(0)).c_str(), nullptr);
    data.Write(NewFileName(1), "left");
    SetFileAttributesA(data.PathOf(NewFileName(1)).c_str(), FILE_ATTRIBUTE_READONLY);
    const DWORD before = FileNumberOf(g_state.mapPointerPath);
    WriteEntry(chosen);
    EXPECT_EQ(Ini(), "MAP=" + chosen + "\r\nGrid=8\r\n");
    const DWORD replaced = FileNumberOf(g_state.mapPointerPath);
    EXPECT_NE(replaced, before);

    // As in a folder that takes no new file: every name taken.
    for (DWORD attempt = 2; attempt < 16; ++attempt) data.Write(NewFileName(attempt), "left");
    const std::string other = data.PathOf("other.map");
    WriteEntry(other);
    EXPECT_EQ(Ini(), "MAP=" + other + "\r\nGrid=8\r\n");
    EXPECT_EQ(FileNumberOf(g_state.mapPointerPath), replaced);
    EXPECT_EQ(data.Read(NewFileName(1)), "left");

    // In place on a disk that takes only part of the new text: the old bytes go back.
    const std::string old = "Grid=8\r\nPad=" + std::string(3000, 'p') + "\r\n";
    data.Write("editor.ini", old);
    {
        const FileSizeLimit nearlyFull(4096);
        if (!nearlyFull.Set()) GTEST_SKIP() << "needs Wine and SIGXFSZ ignored (scripts/wine-run)";
        EXPECT_EQ(ErrorOf([&] { WriteEntry(std::string(2000, 'x')); }), "Stream write error");
    }
    EXPECT_EQ(Ini(), old);
}

TEST_F(MapPointer, LinksStayLinksAndTheirTargetsGetTheText) {
    data.Write("real.ini", "Grid=8\r\n");
    const LinuxLink link(data, "real.ini", "editor.ini");
    if (!link.Made()) GTEST_SKIP() << "needs the Linux side of Wine";
    WriteEntry(chosen);
    EXPECT_EQ(data.Read("real.ini"), "MAP=" + chosen + "\r\nGrid=8\r\n");

    EXPECT_TRUE(CreateHardLinkA(data.PathOf("twin.ini").c_str(), data.PathOf("real.ini").c_str(), nullptr));
    g_state.mapPointerPath = data.PathOf("twin.ini");
    WriteEntry(data.PathOf("other.map"));
    EXPECT_EQ(data.Read("real.ini"), "MAP=" + data.PathOf("other.map") + "\r\nGrid=8\r\n");
}

TEST_F(MapPointer, MissingDataFolderCannotBeCreated) {
    g_state.mapPointerPath = data.PathOf("Missing\\editor.ini");
    EXPECT_EQ(ErrorOf([&] { WriteEntry(chosen); }),
              "Cannot create file \"" + g_state.mapPointerPath + "\". " + SystemMessageText(ERROR_PATH_NOT_FOUND));
}

}  // namespace
