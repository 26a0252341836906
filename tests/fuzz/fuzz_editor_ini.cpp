// editor.ini's text: the line split, the MAP lookup and the rewrite never
// crash, the split and the lookup agree with a plain byte-by-byte reading,
// and the rewrite refuses text with a NUL, reads back the written value,
// keeps every line that does not stand for MAP (names trimmed) in order and
// leaves one MAP line: in place of the first one, or first. Any failed check
// aborts.
//
// Input: one byte n, then n % 64 bytes of value, then the file's text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "maps/map_text.h"

namespace {

constexpr std::string_view kEntry = "MAP";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Stands in for the system's case-blind comparison.
bool AsciiNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// The reading rules byte by byte: a line ends at CR, LF or NUL; after it one
// CR and then one LF are skipped; nothing after a NUL counts.
using Lines = std::vector<std::string_view>;

Lines LinesByTheRules(std::string_view text) {
    Lines lines;
    size_t i = 0;
    while (i < text.size() && text[i] != '\0') {
        const size_t start = i;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n' && text[i] != '\0') ++i;
        lines.push_back(text.substr(start, i - start));
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
    }
    return lines;
}

bool IsMapLine(std::string_view line) {
    const size_t equalsSign = line.find('=');
    return equalsSign != std::string_view::npos && AsciiNamesEqual(line.substr(0, equalsSign), kEntry);
}

// The rewrite's view: names with blanks and tabs around them trimmed.
bool StandsForMap(std::string_view line) {
    const size_t equalsSign = line.find('=');
    if (equalsSign == std::string_view::npos) return false;
    std::string_view name = line.substr(0, equalsSign);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    return AsciiNamesEqual(name, kEntry);
}

constexpr std::string_view kMark = "\xEF\xBB\xBF";  // a UTF-8 byte order mark

// A marked text after its mark, and after the mark's own line ending when
// the mark stands on a line of its own.
std::string_view AfterTheMark(std::string_view text, bool& ownLine) {
    text.remove_prefix(kMark.size());
    ownLine = text.empty() || text[0] == '\r' || text[0] == '\n';
    if (text.starts_with('\r')) text.remove_prefix(1);
    if (text.starts_with('\n')) text.remove_prefix(1);
    return text;
}

Lines WithoutMapLines(const Lines& lines) {
    Lines kept;
    for (const auto& line : lines) {
        if (!StandsForMap(line)) kept.push_back(line);
    }
    return kept;
}

void Check(bool holds, const char* what, std::string_view text, std::string_view value) {
    if (holds) return;
    std::fprintf(stderr, "editor.ini check failed: %s\n  value %zu bytes, text %zu bytes:\n", what, value.size(),
                 text.size());
    for (unsigned char c : text) std::fprintf(stderr, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view value = input.substr(0, data[0] % 64);
    const std::string_view text = input.substr(value.size());

    const Lines lines = LinesByTheRules(text);
    Check(SplitLines(text) == lines, "split differs from the rules", text, value);

    std::string_view expectedValue;
    for (std::string_view line : lines) {
        if (IsMapLine(line)) {
            expectedValue = line.substr(kEntry.size() + 1);
            break;
        }
    }
    Check(FindEntryValue(text, kEntry, AsciiNamesEqual) == expectedValue, "lookup differs from the rules", text, value);

    const std::optional<std::string> result = RewriteEntry(text, kEntry, value, AsciiNamesEqual);
    Check(result.has_value() == (text.find('\0') == std::string_view::npos), "a NUL must refuse the rewrite", text,
          value);
    if (!result || value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return 0;
    const std::string& rewritten = *result;

    // Every line of the result ends in CR LF, so splitting gives it back.
    const Lines after = LinesByTheRules(rewritten);
    size_t length = 0;
    for (std::string_view line : after) {
        Check(rewritten.compare(length + line.size(), 2, "\r\n") == 0, "a line does not end in CR LF", text, value);
        length += line.size() + 2;
    }
    Check(length == rewritten.size(), "the text does not end with its last line", text, value);

    Check(FindEntryValue(rewritten, kEntry, AsciiNamesEqual) == value, "the written value does not read back", text,
          value);
    // The mark stays first, on one line with the first line it marked while
    // that line is kept and still first; else on a line of its own.
    const bool marked = text.starts_with(kMark);
    bool ownLine = false, writtenOwnLine = false;
    const std::string_view body = marked ? AfterTheMark(text, ownLine) : text;
    const Lines before = LinesByTheRules(body);
    Check(!marked || rewritten.starts_with(kMark), "the mark moved", text, value);
    const std::string_view writtenBody = marked ? AfterTheMark(rewritten, writtenOwnLine) : std::string_view(rewritten);
    bool hasMap = false;
    for (std::string_view line : before) hasMap |= StandsForMap(line);
    const bool markedLineStillFirst =
        !ownLine && !before.empty() && !StandsForMap(before[0]) && (hasMap || value.empty());
    Check(!marked || writtenOwnLine != markedLineStillFirst, "the mark on the wrong line", text, value);
    const Lines written = LinesByTheRules(writtenBody);
    Check(WithoutMapLines(written) == WithoutMapLines(before), "other lines lost or moved", text, value);

    // One MAP line (none for an empty value), where the first one was or first.
    size_t firstMapAt = 0;
    while (firstMapAt < before.size() && !StandsForMap(before[firstMapAt])) ++firstMapAt;
    if (firstMapAt == before.size()) firstMapAt = 0;
    size_t mapLines = 0, mapAt = 0;
    for (size_t i = 0; i < written.size(); ++i) {
        if (StandsForMap(written[i])) ++mapLines, mapAt = i;
    }
    Check(mapLines == (value.empty() ? 0u : 1u), "wrong number of MAP lines", text, value);
    Check(value.empty() || (mapAt == firstMapAt && IsMapLine(written[mapAt])), "the MAP line moved", text, value);

    // Removing the entry may bring a line that starts with a byte order mark to
    // the front, where a second rewrite takes the mark for the file's.
    Check(value.empty() || RewriteEntry(rewritten, kEntry, value, AsciiNamesEqual) == rewritten,
          "a second rewrite changes the text", text, value);
    return 0;
}
