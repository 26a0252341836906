#include "map_text.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool IsEntryLine(std::string_view line, std::string_view entry, NamesEqual equal) {
    const size_t equalsSign = line.find('=');
    return equalsSign != std::string_view::npos && equal(line.substr(0, equalsSign), entry);
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end;
        if (start < text.size() && text[start] == '\r') ++start;
        if (start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

std::string FindEntryValue(std::string_view text, std::string_view entry, NamesEqual equal) {
    for (std::string_view line : SplitLines(text)) {
        if (IsEntryLine(line, entry, equal)) return std::string(line.substr(line.find('=') + 1));
    }
    return {};
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

std::wstring FolderPartOf(std::wstring_view path) {
    const size_t last = path.find_last_of(L"\\:");
    return last == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, last + 1));
}

std::optional<std::string> StoredMapPath(const AnsiPath& shortForm, const AnsiPath& longForm) {
    if (shortForm.exact && !shortForm.text.empty()) return shortForm.text;
    if (longForm.exact && !longForm.text.empty()) return longForm.text;
    return std::nullopt;
}
