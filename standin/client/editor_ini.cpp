#include "editor_ini.h"

#include <fstream>
#include <iterator>

namespace {

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsMapName(std::string_view name) {
    if (name.size() != 3) return false;
    const char wanted[] = "MAP";
    for (size_t i = 0; i < 3; ++i) {
        const char letter = (name[i] >= 'a' && name[i] <= 'z') ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
        if (letter != wanted[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::optional<std::string> MapEntryOf(std::string_view text) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        const size_t equals = line.find('=');
        if (equals != std::string_view::npos && IsMapName(TrimBlanks(line.substr(0, equals))))
            return std::string(TrimBlanks(line.substr(equals + 1)));
    }
    return std::nullopt;
}
