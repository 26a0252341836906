#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "maps/map_pointer.h"
#include "module/file_error.h"
#include "module/scoped_win.h"
#include "module/state.h"
#include "standin/waits.h"
#include "support/fake_host.h"
#include "support/linux_side.h"
#include "support/path_forms.h"
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

// The access list, under Wine the Linux file mode: 600 here, where a new
// file would get 644.
std::vector<BYTE> AccessListOf(const std::string& path) {
    std::vector<BYTE> descriptor(4096);
    DWORD needed = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), descriptor.size(), &needed);
    descriptor.resize(std::min<DWORD>(needed, descriptor.size()));
    return descriptor;
}

TEST_F(MapPointer, AReplacedFileKeepsItsAttributesAndAccessList) {
    data.Write("editor.ini", "Grid=8\r\n");
    SetFileAttributesA(g_state.mapPointerPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
    if (const std::string unixPath = UnixPathOf(g_state.mapPointerPath); !unixPath.empty())
        RunOnLinux({"/bin/chmod", "600", unixPath.c_str()});
    const std::vector<BYTE> accessList = AccessListOf(g_state.mapPointerPath);
    const DWORD before = FileNumberOf(g_state.mapPointerPath);
    WriteEntry(chosen);
    EXPECT_EQ(Ini(), "MAP=" + chosen + "\r\nGrid=8\r\n");
    EXPECT_NE(FileNumberOf(g_state.mapPointerPath), before);  // replaced by a new file
    EXPECT_TRUE(GetFileAttributesA(g_state.mapPointerPath.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(AccessListOf(g_state.mapPointerPath), accessList);
}

TEST_F(MapPointer, FilesOver16MiBAreNeitherReadNorRewritten) {
    // 4 GiB and 16 bytes, which a size cut to 32 bits would take for 16.
    ScopedFile file(CreateFileA(g_state.mapPointerPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(SetFilePointerEx(file.Get(), LARGE_INTEGER{.QuadPart = 0x100000010}, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.Get()) && file.Close());
    const std::string quoted = "\"" + g_state.mapPointerPath + "\"";
    EXPECT_EQ(ErrorOf(ReadEntry), "Cannot open file " + quoted + ". It is larger than 16 MiB");
    EXPECT_EQ(ErrorOf([&] { WriteEntry(chosen); }), "Cannot update file " + quoted + ". It is larger than 16 MiB");

    // Never written past that: exactly 16 MiB takes a path of the same length,
    // not one 3 bytes longer, nor LF line ends that the rewrite makes CR LF.
    const std::string entry = "MAP=C:\\MAPS\\OLD.MAP\r\n", pad = "Pad=" + std::string(16 << 20, 'p');
    for (const std::string& lines : {std::string(), std::string(10, '\n')}) {
        data.Write("editor.ini", entry + pad.substr(0, (16 << 20) - entry.size() - lines.size() - 2) + "\r\n" + lines);
        const std::string full = Ini();
        const std::string longer = "Cannot update file " + quoted + ". It would be larger than 16 MiB";
        EXPECT_EQ(ErrorOf([&] { WriteEntry("C:\\MAPS\\LONGER.MAP"); }), longer);
        EXPECT_EQ(Ini(), full);
        EXPECT_EQ(ReadEntry(), "C:\\MAPS\\OLD.MAP");  // the next Control-T still reads it
        EXPECT_EQ(ErrorOf([&] { WriteEntry("C:\\MAPS\\NEW.MAP"); }), lines.empty() ? "" : longer);
    }
    EXPECT_EQ(Ini().size(), 16u << 20);
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
}

TEST_F(MapPointer, LinksStayLinksAndTheirTargetsGetTheText) {
    data.Write("real.ini", "Grid=8\r\n");
    const LinuxLink link(data, "real.ini", "editor.ini");
    if (!link.Made()) GTEST_SKIP() << "needs the Linux side of Wine";
    const DWORD before = FileNumberOf(data.PathOf("real.ini"));
    WriteEntry(chosen);
    EXPECT_EQ(data.Read("real.ini"), "MAP=" + chosen + "\r\nGrid=8\r\n");
    EXPECT_NE(FileNumberOf(data.PathOf("real.ini")), before);  // replaced whole, beside the link's target
    data.Write("real.ini", "Grid=9\r\n");
    EXPECT_EQ(Ini(), "Grid=9\r\n");  // still a link

    EXPECT_TRUE(CreateHardLinkA(data.PathOf("twin.ini").c_str(), data.PathOf("real.ini").c_str(), nullptr));
    g_state.mapPointerPath = data.PathOf("twin.ini");
    WriteEntry(data.PathOf("other.map"));
    EXPECT_EQ(data.Read("real.ini"), "MAP=" + data.PathOf("other.map") + "\r\nGrid=9\r\n");
    EXPECT_EQ(data.Listing(), "Long Folder With Spaces editor.ini real.ini twin.ini");  // the copy of the old text is gone
}

// A kill during a write through a symbolic link: the test runs itself again
// as a child process that writes, and kills it as soon as its new file shows
// beside the link's target. (Polling cannot land a kill inside one write call
// over the target itself; MapPointer.LinksStayLinksAndTheirTargetsGetTheText
// shows that none happens.)
TEST(KilledWrite, ThroughALinkLeavesOneWholeText) {
    if (const char* editorIni = getenv("TARNWICK_KILLED_WRITE")) {  // the child
        WriteMapPointer(editorIni, "C:\\NEW.MAP");
        Sleep(INFINITE);  // the write ended before the parent saw it: killed here
    }
    const TempFolder data;
    const std::string old = "Grid=8\r\nPad=" + std::string(15 << 20, 'p') + "\r\n";
    data.Write("real.ini", old);
    const LinuxLink link(data, "real.ini", "editor.ini");
    if (!link.Made()) GTEST_SKIP() << "needs the Linux side of Wine";
    char program[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command = std::string("\"") + program + "\" --gtest_filter=KilledWrite.*";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // and none: its output would mix with ours
    PROCESS_INFORMATION child = {};
    SetEnvironmentVariableA("TARNWICK_KILLED_WRITE", data.PathOf("editor.ini").c_str());
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child));
    SetEnvironmentVariableA("TARNWICK_KILLED_WRITE", nullptr);
    EXPECT_TRUE(WaitUntil([&] {
        return data.Listing().find(".tmp") != std::string::npos || WaitForSingleObject(child.hProcess, 0) != WAIT_TIMEOUT;
    })) << "the child never began its write";
    EXPECT_TRUE(TerminateProcess(child.hProcess, 9)) << "the child ended by itself";
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    const std::string after = data.Read("real.ini");
    EXPECT_TRUE(after == old || after == "MAP=C:\\NEW.MAP\r\n" + old) << after.size() << " bytes, neither text";
    EXPECT_EQ(data.Read("editor.ini"), after);  // still the link
}

TEST_F(MapPointer, MissingDataFolderCannotBeCreated) {
    g_state.mapPointerPath = data.PathOf("Missing\\editor.ini");
    EXPECT_EQ(ErrorOf([&] { WriteEntry(chosen); }),
              "Cannot create file \"" + g_state.mapPointerPath + "\". " + SystemMessageText(ERROR_PATH_NOT_FOUND));
}

}  // namespace
