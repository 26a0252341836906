#include <gtest/gtest.h>

#include <string>

#include "maps/map_text.h"

namespace {

bool AsciiNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}


using Lines = std::vector<std::string_view>;

TEST(MapText, LineEndingsSplitAsTheClientDoes) {
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("a"), Lines{"a"});
    EXPECT_EQ(SplitLines("a\r\n"), Lines{"a"});  // no empty line after a final ending
    EXPECT_EQ(SplitLines("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));    // LF CR ends two lines
    EXPECT_EQ(SplitLines("a\r\r\nb"), (Lines{"a", "", "b"}));  // so does CR CR LF
    EXPECT_EQ(SplitLines("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(SplitLines("a\t\x0B\x0C\x0E" "b\r"), Lines{"a\t\x0B\x0C\x0E" "b"});  // other control bytes end nothing
    EXPECT_EQ(SplitLines(std::string_view("a\nb\0c\nd", 7)), (Lines{"a", "b"}));  // the text ends at NUL
}

struct LookupCase {
    std::string bytes;
    std::string expected;
};

TEST(MapText, MapLookupFollowsTheReadingRules) {
    const LookupCase cases[] = {
        {"map=C:\\MAPS\\ONE.MAP", "C:\\MAPS\\ONE.MAP"},  // the name matches in any case
        {"[Editor]\r\nMAP=C:\\A.MAP\r\nMAP=C:\\B.MAP\r\n", "C:\\A.MAP"},  // the first one wins
        {"MAPFILE=x\r\n", ""},
        {"MAP\r\n", ""},  // no equals sign
        {"MAP=a=b", "a=b"},
        {"MAP=", ""},
        {"MAP =x\r\nMAP= y ", " y "},  // blanks count, in the name and in the value
        {std::string("X=1\r\n\0MAP=x\r\n", 13), ""},  // nothing after a NUL is read
        {"\xEF\xBB\xBFMAP=x\r\n", ""},  // a byte order mark stays part of the first line
        {"a=1\rMAP=cr\n", "cr"},
        {"a=1\nMAP=lf", "lf"},
        {"MAP=first\n\rMAP=second", "first"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindEntryValue(c.bytes, "MAP", AsciiNamesEqual), c.expected) << "bytes: " << c.bytes;
    }
}

TEST(MapText, RewriteKeepsEveryOtherLineInOrder) {
    const std::string before = "[Editor]\nGRID=1\r\nmap=C:\\OLD.MAP\rSOUND=on\r\nMAP=C:\\STALE.MAP\r\nlast";
    EXPECT_EQ(RewriteEntry(before, "MAP", "C:\\NEW~1\\A.MAP", AsciiNamesEqual),
              "[Editor]\r\nGRID=1\r\nMAP=C:\\NEW~1\\A.MAP\r\nSOUND=on\r\nlast\r\n");
}

TEST(MapText, RewriteAppendsCreatesAndRemoves) {
    EXPECT_EQ(RewriteEntry("", "MAP", "C:\\A.MAP", AsciiNamesEqual), "MAP=C:\\A.MAP\r\n");
    EXPECT_EQ(RewriteEntry("GRID=1", "MAP", "C:\\A.MAP", AsciiNamesEqual), "GRID=1\r\nMAP=C:\\A.MAP\r\n");
    EXPECT_EQ(RewriteEntry("MAP=x\r\nGRID=1\r\nMAP=y\r\n", "MAP", "", AsciiNamesEqual), "GRID=1\r\n");
    EXPECT_EQ(RewriteEntry("MAP=x\r\n", "MAP", "", AsciiNamesEqual), "");
    // Lines that only look like the entry are not it.
    EXPECT_EQ(RewriteEntry("MAP =a\r\nMAPFILE=b\r\nMAP\r\n", "MAP", "c", AsciiNamesEqual),
              "MAP =a\r\nMAPFILE=b\r\nMAP\r\nMAP=c\r\n");
}

TEST(MapText, RewrittenTextReadsBackTheValue) {
    const std::string rewritten = RewriteEntry("\xEF\xBB\xBFMAP=x\r\n", "MAP", "C:\\B.MAP", AsciiNamesEqual);
    EXPECT_EQ(FindEntryValue(rewritten, "MAP", AsciiNamesEqual), "C:\\B.MAP");
    EXPECT_TRUE(rewritten.starts_with("\xEF\xBB\xBFMAP=x\r\n"));
}

TEST(MapText, FolderPartEndsAtTheLastBackslashOrColon) {
    EXPECT_EQ(FolderPartOf("C:\\Maps\\One.map"), "C:\\Maps\\");
    EXPECT_EQ(FolderPartOf("C:One.map"), "C:");
    EXPECT_EQ(FolderPartOf("D:\\a:b\\c"), "D:\\a:b\\");
    EXPECT_EQ(FolderPartOf("One.map"), "");
    EXPECT_EQ(FolderPartOf(""), "");
}

}  // namespace
