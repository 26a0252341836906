#include <gtest/gtest.h>

#include "module/text.h"

namespace {

struct NumberCase {
    const char* text;
    std::optional<int32_t> expected;
};

TEST(SettingsNumber, FollowsEveryRuleOfTheConversion) {
    const NumberCase cases[] = {
        // decimal, with a sign, leading zeros not octal
        {"0", 0}, {"3", 3}, {"7", 7}, {"+2", 2}, {"-1", -1}, {"0010", 10}, {"-0", 0},
        // decimal range ends and one past them
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt}, {"-2147483649", std::nullopt}, {"99999999999", std::nullopt},
        // hexadecimal prefixes, either case of digits, two's complement, negation
        {"0x1", 1}, {"0X1", 1}, {"$1", 1}, {"x1", 1}, {"X1", 1}, {"$aF", 0xAF}, {"0xff", 255},
        {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN}, {"-$FFFFFFFF", 1}, {"-0x2", -2}, {"+x3", 3},
        {"$000000000001", 1}, {"$100000000", std::nullopt},
        // blanks: leading spaces only
        {"  3", 3}, {"\t3", std::nullopt}, {"3 ", std::nullopt}, {"- 3", std::nullopt}, {"$ 1", std::nullopt},
        // nothing after a sign or prefix, or nothing at all
        {"", std::nullopt}, {"   ", std::nullopt}, {"-", std::nullopt}, {"+", std::nullopt},
        {"$", std::nullopt}, {"0x", std::nullopt}, {"x", std::nullopt}, {"-$", std::nullopt},
        // anything else after the digits
        {"abc", std::nullopt}, {"2.0", std::nullopt}, {"1a", std::nullopt}, {"0x1g", std::nullopt},
        {"--1", std::nullopt}, {"$-1", std::nullopt}, {"0x-1", std::nullopt}, {"1e3", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseSettingsInteger(c.text), c.expected) << "text: \"" << c.text << "\"";
    }
}

TEST(SettingsNumber, KeyFlagsKeepTwoBitsAndDefaultToControlT) {
    EXPECT_EQ(KeyFlagsFromText(""), kControlTFlag);
    EXPECT_EQ(KeyFlagsFromText("abc"), kControlTFlag);
    EXPECT_EQ(KeyFlagsFromText("2.0"), kControlTFlag);
    EXPECT_EQ(KeyFlagsFromText("0"), 0);
    EXPECT_EQ(KeyFlagsFromText("0x1"), kF12Flag);
    EXPECT_EQ(KeyFlagsFromText("7"), kF12Flag | kControlTFlag);
    EXPECT_EQ(KeyFlagsFromText("-1"), kF12Flag | kControlTFlag);
    EXPECT_EQ(KeyFlagsFromText("$FFFFFFFF"), kF12Flag | kControlTFlag);
    EXPECT_EQ(KeyFlagsFromText("0010"), kControlTFlag);
    EXPECT_EQ(KeyFlagsOf(true, false), 1);
    EXPECT_EQ(KeyFlagsOf(false, true), 2);
    EXPECT_EQ(KeyFlagsOf(true, true), 3);
}

bool IgnoringCase(std::string_view a, std::string_view b) { return UpperCaseAscii(a) == UpperCaseAscii(b); }

TEST(SettingsText, FlagsGoWhereTheProfileReaderLooksAndEveryOtherByteStays) {
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        std::string before, after;
    } cases[] = {
        {"", "[Main]\r\nFlags=3\r\n"},  // as the system's writer makes a new file
        {"[Main]\r\nFlags=2\r\n", "[Main]\r\nFlags=3\r\n"},
        {"; mine\n[other]\nFlags=1\n[ main ]\n  flags = 7 \nNote=x", "; mine\n[other]\nFlags=1\n[ main ]\n  flags =3\nNote=x"},
        {"[Main]\r\nA=1\r\n\r\n[B]\r\n", "[Main]\r\nA=1\r\nFlags=3\r\n\r\n[B]\r\n"},
        {"[Main]\r\nA=1", "[Main]\r\nA=1\r\nFlags=3\r\n"},
        {"[Main]\r\n[Main]\r\nFlags=1\r\n", "[Main]\r\nFlags=3\r\n[Main]\r\nFlags=1\r\n"},  // the first section only
        {"[Main]\rFlags=0\rX=1", "[Main]\rFlags=3\rX=1"},
        {"[Other]\r\nA=1", "[Other]\r\nA=1\r\n\r\n[Main]\r\nFlags=3\r\n"},
        {"[Main\r\nFlags=1\r\n", "[Main\r\nFlags=1\r\n\r\n[Main]\r\nFlags=3\r\n"},  // no "]": no section
        {"Flags=1\r\n", "Flags=1\r\n\r\n[Main]\r\nFlags=3\r\n"},  // before any section
        {bom + "[Main]\r\nFlags=1\r\n", bom + "[Main]\r\nFlags=3\r\n"},
        {bom, bom + "[Main]\r\nFlags=3\r\n"},
        {"[Main]\r\nFLAGS\r\nFlags=1\r\n", "[Main]\r\nFLAGS=3\r\nFlags=1\r\n"},  // a key without "=" counts
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithProfileValue(c.before, "Main", "Flags", "3", IgnoringCase), c.after) << c.before;
    }
    EXPECT_EQ(WithProfileValue(std::string("\xFF\xFE[\0", 4), "Main", "Flags", "3", IgnoringCase), std::nullopt);
}

TEST(CommandText, UpperCasesOnlyLettersAToZ) {
    EXPECT_EQ(UpperCaseAscii("tw-f12"), "TW-F12");
    EXPECT_EQ(UpperCaseAscii("Tw-CtrlT extra"), "TW-CTRLT EXTRA");
    EXPECT_EQ(UpperCaseAscii("tw-\xE9\xE0"), "TW-\xE9\xE0");  // accented letters stay as they are
    EXPECT_EQ(UpperCaseAscii(""), "");
}

TEST(CommandText, ActiveKeysLineForEverySwitchState) {
    EXPECT_EQ(ActiveKeysLine(false, false), "Tarnwick: All key commands disabled.");
    EXPECT_EQ(ActiveKeysLine(true, false), "Tarnwick: Press F12 to activate.");
    EXPECT_EQ(ActiveKeysLine(false, true), "Tarnwick: Press Control-T to activate.");
    EXPECT_EQ(ActiveKeysLine(true, true), "Tarnwick: Press F12 or Control-T to activate.");
}

// Shift-JIS (code page 932), where the second byte of a character may be a
// backslash: 表 is 95 5C.
bool ShiftJisLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool SingleByte(char) { return false; }
const std::string kData = "C:\\\x83\x66\x81\x5B\x83\x5E\x95\x5C";  // C:\データ表

TEST(PathText, FolderRulesGoByCharactersNotBytes) {
    const struct {
        std::string text, withBackslash;
        IsLeadByte isLeadByte = ShiftJisLeadByte;
    } cases[] = {
        {"C:\\Games\\Client", "C:\\Games\\Client\\"},
        {"C:\\Games\\Client\\", "C:\\Games\\Client\\"},
        {"", ""},
        {"D:a", "D:a\\"},
        {kData, kData + "\\"},
        {kData + "\\", kData + "\\"},
        {kData + "\\editor.ini", kData + "\\editor.ini\\"},
        {"C:\\\x95", "C:\\\x95\\"},  // a lead byte at the end stands alone
        {kData, kData, SingleByte},      // in a single-byte code page 5C is a backslash
    };
    for (const auto& c : cases) EXPECT_EQ(WithTrailingBackslash(c.text, c.isLeadByte), c.withBackslash) << c.text;
    EXPECT_EQ(FolderPartOf(L"C:\\Maps\\One.map"), L"C:\\Maps\\");
    EXPECT_EQ(FolderPartOf(L"C:One.map"), L"C:");
    EXPECT_EQ(FolderPartOf(L"D:\\a:b\\c"), L"D:\\a:b\\");
    EXPECT_EQ(FolderPartOf(L"One.map"), L"");
}

TEST(ErrorText, SystemMessageTailIsTrimmed) {
    EXPECT_EQ(TrimMessageTail("Access denied.\r\n"), "Access denied");
    EXPECT_EQ(TrimMessageTail("The process cannot access the file.  \t"), "The process cannot access the file");
    EXPECT_EQ(TrimMessageTail("v1.2 ok"), "v1.2 ok");
    EXPECT_EQ(TrimMessageTail(". .\r\n"), "");
    EXPECT_EQ(HexDigits(0x3002, 4), "3002");
    EXPECT_EQ(HexDigits(0xABCDEF, 4), "CDEF");
}

}  // namespace
