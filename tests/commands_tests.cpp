#include <gtest/gtest.h>

#include "module/exports.h"
#include "module/state.h"
#include "support/design_texts.h"
#include "support/fake_host.h"

namespace {

using Lines = std::vector<std::string>;

class Commands : public ModuleTest {
protected:
    int32_t Command(std::initializer_list<const char*> words) {
        std::vector<const char*> argv(words);
        return on_command(static_cast<int32_t>(argv.size()), argv.data());
    }
};

TEST_F(Commands, EveryCaseOfTheWordTogglesF12) {
    EXPECT_EQ(Command({"tw-f12"}), KS_TAKEN);
    EXPECT_EQ(Command({"Tw-F12"}), KS_TAKEN);
    EXPECT_EQ(Command({"TW-F12", "ignored", "words"}), KS_TAKEN);
    EXPECT_TRUE(g_state.f12Enabled);
    EXPECT_FALSE(g_state.controlTEnabled);
    EXPECT_EQ(TakeSpoken(), (Lines{"Tarnwick: F12 is Enabled", "Tarnwick: F12 is Disabled", "Tarnwick: F12 is Enabled"}));
}

TEST_F(Commands, TwoControlTCommandsLeaveTheSwitchAsItWas) {
    g_state.controlTEnabled = true;
    EXPECT_EQ(Command({"TW-CTRLT"}), KS_TAKEN);
    EXPECT_EQ(Command({"tw-ctrlt"}), KS_TAKEN);
    EXPECT_TRUE(g_state.controlTEnabled);
    EXPECT_EQ(TakeSpoken(), (Lines{"Tarnwick: Control-T is Disabled", "Tarnwick: Control-T is Enabled"}));
}

TEST_F(Commands, OtherCommandsAreNotOurs) {
    EXPECT_EQ(Command({"TW-F12 extra"}), KS_PASS_ON);  // one argument with a blank inside
    EXPECT_EQ(Command({"@TW-F12"}), KS_PASS_ON);
    EXPECT_EQ(Command({"TW-F1"}), KS_PASS_ON);
    EXPECT_EQ(Command({"TW-F12 "}), KS_PASS_ON);
    EXPECT_EQ(Command({"tw-ctrl\xF4"}), KS_PASS_ON);  // accented letters are not upper-cased
    EXPECT_EQ(Command({"hello", "TW-F12"}), KS_PASS_ON);
    EXPECT_EQ(Command({""}), KS_PASS_ON);
    const char* words[] = {"TW-F12"};
    EXPECT_EQ(on_command(0, words), KS_PASS_ON);
    EXPECT_EQ(on_command(-1, words), KS_PASS_ON);
    EXPECT_EQ(on_command(1, nullptr), KS_PASS_ON);
    const char* nullWord[] = {nullptr};
    EXPECT_EQ(on_command(1, nullWord), KS_PASS_ON);
    EXPECT_TRUE(TakeSpoken().empty());
    EXPECT_FALSE(g_state.f12Enabled);
    EXPECT_FALSE(g_state.controlTEnabled);
}

TEST_F(Commands, InformationTextShowsTheActiveKeys) {
    for (int flags = 0; flags < 4; ++flags) {
        g_state.f12Enabled = flags & 1;
        g_state.controlTEnabled = flags & 2;
        EXPECT_EQ(on_module(KS_EVENT_INFORMATION, nullptr), 0);
        EXPECT_EQ(TakeSpoken(), InformationLines(flags & 1, flags & 2));
    }
}

}  // namespace
