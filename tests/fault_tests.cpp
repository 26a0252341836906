// Faults of the world around the module that no other suite arranges: an
// editor.ini that is a folder, errors of the C++ library, and a framework
// that answers null everywhere.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

#include "maps/map_pointer.h"
#include "module/exports.h"
#include "module/file_error.h"
#include "module/host_link.h"
#include "module/state.h"
#include "support/fake_host.h"
#include "support/temp_folder.h"

namespace {

using Lines = std::vector<std::string>;

class Faults : public ModuleTest {};

TEST_F(Faults, EditorIniThatIsAFolderReadsEmptyAndIsNeverReplaced) {
    TempFolder data;
    g_state.mapPointerPath = data.PathOf("editor.ini");
    ASSERT_TRUE(CreateDirectoryA(g_state.mapPointerPath.c_str(), nullptr));
    data.Write("editor.ini\\inside.txt", "kept");
    data.Write("chosen.map", "map");

    EXPECT_EQ(ReadMapPointer(g_state.mapPointerPath), "");
    EXPECT_EQ(ErrorOf([&] { WriteMapPointer(g_state.mapPointerPath, data.PathOf("chosen.map")); }),
              "Cannot create file \"" + g_state.mapPointerPath + "\". " + SystemMessageText(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(GetFileAttributesA(g_state.mapPointerPath.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.Read("editor.ini\\inside.txt"), "kept");
    EXPECT_EQ(data.Listing(), "chosen.map editor.ini");  // no temporary file left
}

TEST_F(Faults, TheCppLibrarysOwnTextsNeverReachTheChat) {
    RunReported([] { throw std::bad_alloc(); });
    RunReported([] { throw std::length_error("basic_string::_M_create"); });
    RunReported([] { throw std::runtime_error("vector::_M_realloc_insert"); });
    EXPECT_EQ(TakeSpoken(), (Lines{"Tarnwick: Out of memory.", "Tarnwick: Out of memory.", "Tarnwick: Unexpected error."}));
}

TEST_F(Faults, NullAnswersFromTheFrameworkEndInTheMissingFolderLine) {
    TempFolder clientRoot;  // the current folder, where a bare editor.ini would be looked for
    SetCurrentDirectoryA(clientRoot.Path().c_str());
    uint32_t moduleId = 5;
    EXPECT_EQ(on_module(KS_EVENT_START, &moduleId), 0);
    EXPECT_EQ(g_state.clientDataRoot, "");
    g_state.controlTEnabled = true;  // whatever a stray \Tarnwick.ini on this drive says

    HostMessage upload = {0, WM_COMMAND, (1u << 16) | 121, 0, 7};
    EXPECT_EQ(on_wndproc(&upload), KS_TAKEN);
    EXPECT_EQ(upload.result, 0);
    EXPECT_EQ(on_wndproc(nullptr), KS_PASS_ON);
    const char* nullWord[] = {nullptr};
    EXPECT_EQ(on_command(1, nullWord), KS_PASS_ON);
    EXPECT_EQ(on_command(1, nullptr), KS_PASS_ON);
    EXPECT_EQ(TakeSpoken(), Lines{"Tarnwick: Error - Unable to find Veldara folder."});
    EXPECT_EQ(clientRoot.Listing(), "");  // nothing written anywhere near
}

}  // namespace
