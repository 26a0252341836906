#include "map_text.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

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

bool IsEntryLine(std::string_view line, std::string_view entry, NamesEqual equal) {
    const size_t equalsSign = line.find('=');
    return equalsSign != std::string_view::npos && equal(line.substr(0, equalsSign), entry);
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

std::string RewriteEntry(std::string_view text, std::string_view entry, std::string_view value, NamesEqual equal) {
    std::string result;
    result.reserve(text.size() + entry.size() + value.size() + 8);
    bool entryWritten = value.empty();  // an empty value writes no entry at all
    auto appendEntry = [&] {
        result.append(entry).append("=").append(value).append(kLineEnd);
        entryWritten = true;
    };
    for (std::string_view line : SplitLines(text)) {
        if (!IsEntryLine(line, entry, equal)) {
            result.append(line).append(kLineEnd);
        } else if (!entryWritten) {
            appendEntry();
        }
    }
    if (!entryWritten) appendEntry();
    return result;
}

std::string FolderPartOf(std::string_view path) {
    const size_t last = path.find_last_of("\\:");
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}
