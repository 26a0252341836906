// The message rules of on_wndproc. With no client data folder a selection
// says so at once, so these run without a dialog: the error line tells that
// a selection ran.
#include <gtest/gtest.h>

#include <windows.h>

#include "module/exports.h"
#include "module/scoped_win.h"
#include "module/state.h"
#include "support/fake_host.h"
#include "support/path_forms.h"
#include "support/temp_folder.h"

namespace {

using Lines = std::vector<std::string>;
const Lines kSelectionRan = {"Tarnwick: Error - Unable to find Veldara folder."};
constexpr uint32_t kUploadByKey = (1u << 16) | 121;
constexpr uint32_t kUploadByMenu = 121;
constexpr int32_t kUntouched = 0x5A5A;

class MessageRules : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        g_state.clientRoot = clientRoot.Path();
    }
    int32_t Send(uint32_t message, uint32_t wParam, uint32_t lParam = 0) {
        HostMessage host = {0x1234, message, wParam, lParam, kUntouched};
        const int32_t answer = on_wndproc(&host);
        lastResult = host.result;
        return answer;
    }

    TempFolder clientRoot;
    int32_t lastResult = 0;
};

TEST_F(MessageRules, F12StartsASelectionOnlyWhenOnAndAlwaysPassesOn) {
    EXPECT_EQ(Send(WM_KEYDOWN, VK_F12), KS_PASS_ON);
    EXPECT_TRUE(TakeSpoken().empty());

    g_state.f12Enabled = true;
    EXPECT_EQ(Send(WM_KEYDOWN, VK_F12), KS_PASS_ON);
    EXPECT_EQ(lastResult, kUntouched);
    EXPECT_EQ(TakeSpoken(), kSelectionRan);
    EXPECT_EQ(CurrentFolder(), clientRoot.Path());
    // A second key-down, F12 not held (a posted one): no repeat, a selection again.
    EXPECT_EQ(Send(WM_KEYDOWN, VK_F12), KS_PASS_ON);
    EXPECT_EQ(TakeSpoken(), kSelectionRan);

    // The whole wParam is compared, and other key messages are not F12.
    EXPECT_EQ(Send(WM_KEYDOWN, 0x1007B), KS_PASS_ON);
    EXPECT_EQ(Send(WM_KEYUP, VK_F12), KS_PASS_ON);
    EXPECT_EQ(Send(WM_SYSKEYDOWN, VK_F12), KS_PASS_ON);
    EXPECT_EQ(Send(WM_KEYDOWN, 0x54), KS_PASS_ON);
    EXPECT_TRUE(TakeSpoken().empty());
}

TEST_F(MessageRules, ControlTUploadIsTakenWhileInterceptionIsOn) {
    g_state.controlTEnabled = true;
    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_TAKEN);
    EXPECT_EQ(lastResult, 0);
    EXPECT_EQ(TakeSpoken(), kSelectionRan);

    g_state.controlTEnabled = false;
    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_PASS_ON);
    EXPECT_EQ(lastResult, kUntouched);
    EXPECT_TRUE(TakeSpoken().empty());
}

TEST_F(MessageRules, OnlyTheAcceleratorsUploadCommandIsAnUploadRequest) {
    g_state.controlTEnabled = true;
    for (uint32_t wParam : {kUploadByMenu, (2u << 16) | 121, (1u << 16) | 122, 0x0001FFFFu}) {
        EXPECT_EQ(Send(WM_COMMAND, wParam), KS_PASS_ON) << wParam;
    }
    EXPECT_TRUE(TakeSpoken().empty());
}

TEST_F(MessageRules, OurOwnControlTPassesExactlyOnce) {
    g_state.controlTEnabled = true;
    g_state.selfSentUpload = true;
    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_PASS_ON);
    EXPECT_FALSE(g_state.selfSentUpload);
    EXPECT_TRUE(TakeSpoken().empty());
    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_TAKEN);
    EXPECT_EQ(TakeSpoken(), kSelectionRan);
}

TEST_F(MessageRules, AnyOtherCommandClearsTheSelfSentMark) {
    for (uint32_t wParam : {kUploadByMenu, 40001u, 0x10000u | 40001u}) {
        g_state.selfSentUpload = true;
        EXPECT_EQ(Send(WM_COMMAND, wParam), KS_PASS_ON);
        EXPECT_FALSE(g_state.selfSentUpload);
    }
    // With interception off the mark is still spent by the next upload request.
    g_state.selfSentUpload = true;
    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_PASS_ON);
    EXPECT_FALSE(g_state.selfSentUpload);
}

// The chat box as a line arrives (EN_UPDATE, EN_CHANGE), a button's
// BN_CLICKED, a control whose id and code look like the upload request.
TEST_F(MessageRules, ControlNotificationsNeitherSelectNorSpendTheMark) {
    g_state.controlTEnabled = true;
    for (bool mark : {false, true}) {
        g_state.selfSentUpload = mark;
        for (uint32_t wParam : {0x400012Du, 0x300012Du, BN_CLICKED << 16 | 1000u, kUploadByKey})
            EXPECT_EQ(Send(WM_COMMAND, wParam, 0x4242), KS_PASS_ON) << wParam;
        EXPECT_EQ(g_state.selfSentUpload, mark);
    }
    EXPECT_EQ(lastResult, kUntouched);
    EXPECT_TRUE(TakeSpoken().empty());
    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_PASS_ON);  // our Control-T, once
    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_TAKEN);
}

TEST_F(MessageRules, OtherMessagesAndNullRecordsChangeNothing) {
    g_state.f12Enabled = g_state.controlTEnabled = g_state.selfSentUpload = true;
    for (uint32_t message : {WM_MOUSEMOVE, WM_PAINT, WM_CHAR, WM_SYSCOMMAND, WM_KEYUP}) {
        EXPECT_EQ(Send(message, kUploadByKey), KS_PASS_ON);
        EXPECT_EQ(lastResult, kUntouched);
    }
    EXPECT_EQ(on_wndproc(nullptr), KS_PASS_ON);
    EXPECT_TRUE(g_state.selfSentUpload);
    EXPECT_TRUE(TakeSpoken().empty());
}

TEST_F(MessageRules, NoSecondSelectionWhileOneRuns) {
    g_state.f12Enabled = g_state.controlTEnabled = true;
    g_state.selectionRunning = true;
    EXPECT_EQ(Send(WM_KEYDOWN, VK_F12), KS_PASS_ON);
    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_TAKEN);
    EXPECT_EQ(lastResult, 0);
    EXPECT_TRUE(TakeSpoken().empty());
    EXPECT_TRUE(g_state.selectionRunning);
}

TEST_F(MessageRules, AFileErrorEndsTheSelectionButKeepsControlTTaken) {
    TempFolder data;
    data.Write("editor.ini", "MAP=C:\\A.MAP\r\n");
    g_state.clientDataRoot = data.Path() + "\\";
    g_state.mapPointerPath = data.PathOf("editor.ini");
    g_state.controlTEnabled = true;
    ScopedFile writer(CreateFileA(g_state.mapPointerPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.IsValid());
    SetCurrentDirectoryA(data.Path().c_str());

    EXPECT_EQ(Send(WM_COMMAND, kUploadByKey), KS_TAKEN);
    const Lines spoken = TakeSpoken();
    ASSERT_EQ(spoken.size(), 1u);
    EXPECT_TRUE(spoken[0].starts_with("Tarnwick: Cannot open file \"" + g_state.mapPointerPath + "\". ")) << spoken[0];
    EXPECT_EQ(CurrentFolder(), clientRoot.Path());
    EXPECT_FALSE(g_state.selfSentUpload);
    EXPECT_FALSE(g_state.selectionRunning);
}

TEST_F(MessageRules, CurrentFolderStaysWhenTheClientRootIsEmpty) {
    g_state.clientRoot = "";
    g_state.f12Enabled = true;
    const std::string before = CurrentFolder();
    Send(WM_KEYDOWN, VK_F12);
    EXPECT_EQ(CurrentFolder(), before);
}

}  // namespace
