#include <gtest/gtest.h>

#include <algorithm>
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

struct RewriteCase {
    std::string before, value, after;
};

TEST(MapText, RewriteReplacesWhatATrimmingReaderTakesForTheEntry) {
    const std::string bom = "\xEF\xBB\xBF";
    const RewriteCase cases[] = {
        {"", "C:\\A.MAP", "MAP=C:\\A.MAP\r\n"},
        {"[Editor]\r\nGRID=1", "a", "MAP=a\r\n[Editor]\r\nGRID=1\r\n"},  // a new entry goes first
        {"MAP=x\r\nGRID=1\r\nMAP=y\r\n", "", "GRID=1\r\n"},
        {"MAP=x\r\n", "", ""},
        {"A=1\r\nMAP =x\r\n map=y\r\n", "c", "A=1\r\nMAP=c\r\n"},
        {"map\t= x\r\nMAPFILE=b\r\nMAP\r\nM AP=d", "c", "MAP=c\r\nMAPFILE=b\r\nMAP\r\nM AP=d\r\n"},
        {"A=1\r\n\tMAP=x\r\n", "c", "A=1\r\nMAP=c\r\n"},
        // The byte order mark stays first, but never on one line with the entry.
        {bom + "MAP=x\r\nA=1", "c", bom + "\r\nMAP=c\r\nA=1\r\n"},
        {bom + " Map =x", "", bom + "\r\n"},
        {bom + "[Editor]\r\nA=1", "c", bom + "\r\nMAP=c\r\n[Editor]\r\nA=1\r\n"},
        {bom + "\r\n[Editor]", "c", bom + "\r\nMAP=c\r\n[Editor]\r\n"},
        {bom + "[Editor]\nMAP=x", "c", bom + "[Editor]\r\nMAP=c\r\n"},
        {bom + "[Editor]\r\nMAP=x\r\nA=1", "c", bom + "[Editor]\r\nMAP=c\r\nA=1\r\n"},
        {bom + "\r\n[Editor]\r\nMAP=x", "c", bom + "\r\n[Editor]\r\nMAP=c\r\n"},
        {bom + "MAP=x\r\nA=1", "", bom + "\r\nA=1\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RewriteEntry(c.before, "MAP", c.value, AsciiNamesEqual), c.after) << "before: " << c.before;
    }
    // UTF-16 or NUL padding: not single-byte text, so no rewrite.
    for (std::string_view nul : {std::string_view("\xFF\xFE[\0", 4), std::string_view("A=1\r\n\0\0", 7)})
        EXPECT_EQ(RewriteEntry(nul, "MAP", "c", AsciiNamesEqual), std::nullopt);
}

TEST(MapText, RewrittenTextReadsBackTheValue) {
    const std::string rewritten = *RewriteEntry("\xEF\xBB\xBFMAP=x\r\n", "MAP", "C:\\B.MAP", AsciiNamesEqual);
    EXPECT_EQ(FindEntryValue(rewritten, "MAP", AsciiNamesEqual), "C:\\B.MAP");
    EXPECT_TRUE(rewritten.starts_with("\xEF\xBB\xBF"));
}

TEST(MapText, StoredPathIsTheFirstFormTheAnsiClientCanOpen) {
    const AnsiPath shortForm = {"C:\\MAPS\\HARBOU~1.MAP", true}, longForm = {"C:\\Maps\\Harbour.map", true};
    const AnsiPath noShortForm = {"", true}, unshowable = {"C:\\Maps\\??.map", false};
    EXPECT_EQ(StoredMapPath(shortForm, longForm), shortForm.text);
    EXPECT_EQ(StoredMapPath(shortForm, unshowable), shortForm.text);
    EXPECT_EQ(StoredMapPath(noShortForm, longForm), longForm.text);
    // A volume without short names hands back the long form, unshowable too.
    EXPECT_EQ(StoredMapPath(unshowable, longForm), longForm.text);
    EXPECT_EQ(StoredMapPath(unshowable, unshowable), std::nullopt);
    EXPECT_EQ(StoredMapPath(noShortForm, unshowable), std::nullopt);
}

}  // namespace
