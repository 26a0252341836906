#include "map_text.h"

#include <utility>

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";  // UTF-8

// Hands each line to visit, in one pass over the text, until visit answers
// false. A line runs up to the next CR, LF or NUL; after it one CR and then
// one LF are skipped; nothing after a NUL counts.
template <class Visit>
void ForEachLine(std::string_view text, Visit visit) {
    size_t start = 0;
    size_t at = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (static_cast<unsigned char>(c) > '\r') continue;  // most bytes end nothing
        if (c == '\0') break;
        if (c != '\r' && c != '\n') continue;
        if (!visit(std::string_view(text.data() + start, at - start))) return;
        if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
        start = at + 1;
    }
    if (at != start) visit(std::string_view(text.data() + start, at - start));
}

std::string_view WithoutBlanksAround(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The reading rule: the name is exactly the text before the first equals sign.
bool IsEntryLine(std::string_view line, std::string_view entry, NamesEqual equal) {
    const size_t equalsSign = line.find('=');
    return equalsSign != std::string_view::npos && equal(line.substr(0, equalsSign), entry);
}

// The rewrite's rule: what a reader that trims names would take for the entry.
bool StandsForEntry(std::string_view line, std::string_view entry, NamesEqual equal) {
    const size_t equalsSign = line.find('=');
    return equalsSign != std::string_view::npos && equal(WithoutBlanksAround(line.substr(0, equalsSign)), entry);
}

// Removes a byte order mark, and the line ending after it when it stands on
// a line of its own; answers whether there was a mark and whether it did.
std::pair<bool, bool> TakeByteOrderMark(std::string_view& text) {
    if (!text.starts_with(kByteOrderMark)) return {false, false};
    text.remove_prefix(kByteOrderMark.size());
    const bool ownLine = text.empty() || text[0] == '\r' || text[0] == '\n';
    if (text.starts_with('\r')) text.remove_prefix(1);
    if (text.starts_with('\n')) text.remove_prefix(1);
    return {true, ownLine};
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    ForEachLine(text, [&](std::string_view line) {
        lines.push_back(line);
        return true;
    });
    return lines;
}

std::string FindEntryValue(std::string_view text, std::string_view entry, NamesEqual equal) {
    std::string value;
    ForEachLine(text, [&](std::string_view line) {
        if (!IsEntryLine(line, entry, equal)) return true;
        value = line.substr(line.find('=') + 1);
        return false;
    });
    return value;
}

std::optional<std::string> RewriteEntry(std::string_view text, std::string_view entry, std::string_view value,
                                        NamesEqual equal) {
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    const auto [marked, markOnOwnLine] = TakeByteOrderMark(text);
    const std::string entryLine = std::string(entry).append("=").append(value).append(kLineEnd);
    std::string result;
    result.reserve(kByteOrderMark.size() + kLineEnd.size() + text.size() + entryLine.size());
    constexpr size_t kNone = std::string_view::npos;
    size_t lines = 0, entryAt = kNone;  // the first line that stands for the entry
    ForEachLine(text, [&](std::string_view line) {
        if (!StandsForEntry(line, entry, equal)) {
            result.append(line).append(kLineEnd);
        } else if (entryAt == kNone) {
            entryAt = lines;
            if (!value.empty()) result.append(entryLine);  // an empty value writes no entry at all
        }
        ++lines;
        return true;
    });
    const bool entryGoesFirst = entryAt == kNone && !value.empty();
    if (entryGoesFirst) result.insert(0, entryLine);  // before any section, where a file of this line alone has it
    if (marked) {
        const bool markedLineStillFirst = !markOnOwnLine && entryAt != 0 && !entryGoesFirst;
        result.insert(0, markedLineStillFirst ? std::string(kByteOrderMark) : std::string(kByteOrderMark).append(kLineEnd));
    }
    return result;
}

std::optional<std::string> StoredMapPath(const AnsiPath& shortForm, const AnsiPath& longForm) {
    if (shortForm.exact && !shortForm.text.empty()) return shortForm.text;
    if (longForm.exact && !longForm.text.empty()) return longForm.text;
    return std::nullopt;
}
