#include "text.h"

#include <limits>

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// Strips a hexadecimal prefix; true when there was one.
bool ConsumeHexPrefix(std::string_view& rest) {
    for (std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (rest.starts_with(prefix)) {
            rest.remove_prefix(prefix.size());
            return true;
        }
    }
    return false;
}

std::optional<uint32_t> ParseHexDigits(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || value > 0x0FFFFFFFu) return std::nullopt;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

// Magnitude of a decimal number, at most 2^31 so that the negative end fits.
std::optional<uint32_t> ParseDecimalDigits(std::string_view digits) {
    constexpr uint32_t kLimit = 0x80000000u;
    if (digits.empty()) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (!IsDecimalDigit(c)) return std::nullopt;
        const uint32_t digit = static_cast<uint32_t>(c - '0');
        if (value > (kLimit - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

std::optional<int32_t> ParseSettingsInteger(std::string_view text) {
    std::string_view rest = text;
    while (rest.starts_with(' ')) rest.remove_prefix(1);
    bool negative = false;
    if (rest.starts_with('+') || rest.starts_with('-')) {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }

    if (ConsumeHexPrefix(rest)) {
        const auto value = ParseHexDigits(rest);
        if (!value) return std::nullopt;
        const uint32_t bits = negative ? 0u - *value : *value;
        return static_cast<int32_t>(bits);
    }

    const auto magnitude = ParseDecimalDigits(rest);
    if (!magnitude) return std::nullopt;
    if (!negative && *magnitude > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    const uint32_t bits = negative ? 0u - *magnitude : *magnitude;
    return static_cast<int32_t>(bits);
}

KeyEnableFlags KeyFlagsFromText(std::string_view text) {
    return ParseSettingsInteger(text).value_or(kDefaultKeyFlags) & (kF12Flag | kControlTFlag);
}

KeyEnableFlags KeyFlagsOf(bool f12Enabled, bool controlTEnabled) {
    return (f12Enabled ? kF12Flag : 0) | (controlTEnabled ? kControlTFlag : 0);
}

std::string UpperCaseAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::string ActiveKeysLine(bool f12Enabled, bool controlTEnabled) {
    std::string keys;
    if (f12Enabled) keys = "F12";
    if (controlTEnabled) keys += keys.empty() ? "Control-T" : " or Control-T";
    if (keys.empty()) return "Tarnwick: All key commands disabled.";
    return "Tarnwick: Press " + keys + " to activate.";
}

namespace {

// Hands where each character of an ANSI text begins to visit, in order. A
// lead byte at the very end stands alone.
template <class Visit>
void ForEachCharacter(std::string_view text, IsLeadByte isLeadByte, Visit visit) {
    for (size_t at = 0; at < text.size(); at += isLeadByte(text[at]) && at + 1 < text.size() ? 2 : 1) visit(at);
}

bool IsFolderSeparator(wchar_t c) { return c == L'\\' || c == L':'; }

}  // namespace

std::string WithTrailingBackslash(std::string_view folder, IsLeadByte isLeadByte) {
    size_t last = folder.size();
    ForEachCharacter(folder, isLeadByte, [&](size_t at) { last = at; });
    std::string result(folder);
    if (last < folder.size() && folder[last] != '\\') result += '\\';
    return result;
}

std::wstring FolderPartOf(std::wstring_view path) {
    size_t end = 0;
    for (size_t at = 0; at < path.size(); ++at) {
        if (IsFolderSeparator(path[at])) end = at + 1;
    }
    return std::wstring(path.substr(0, end));
}

std::string TrimMessageTail(std::string_view message) {
    while (!message.empty()) {
        const auto last = static_cast<unsigned char>(message.back());
        if (last > ' ' && last != '.') break;
        message.remove_suffix(1);
    }
    return std::string(message);
}

std::string HexDigits(uint32_t value, size_t digits) {
    std::string text(digits, '0');
    for (size_t i = digits; i > 0; --i, value >>= 4) text[i - 1] = "0123456789ABCDEF"[value & 0xF];
    return text;
}

namespace {

// Blanks as the system's profile reader skips them around names: space, tab,
// the other control characters up to CR, and ^Z.
std::string_view WithoutProfileBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// The name of a section header line ("[ Main ]" gives "Main"); nothing for
// any other line. The header ends at its last "]".
std::optional<std::string_view> SectionNameOf(std::string_view line) {
    line = WithoutProfileBlanks(line);
    const size_t close = line.rfind(']');
    if (!line.starts_with('[') || close == std::string_view::npos || close == 0) return std::nullopt;
    return WithoutProfileBlanks(line.substr(1, close - 1));
}

bool EndsLine(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::optional<std::string> WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                                            std::string_view value, NamesEqual equal) {
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    constexpr size_t kNone = std::string_view::npos;
    size_t insertAt = kNone;  // after the wanted section's last line that is not blank
    bool inSection = false;
    const size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    size_t at = start;
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && !EndsLine(text[end])) ++end;
        const std::string_view line = text.substr(at, end - at);
        // The line's own ending: CR LF, or one CR or LF; blank lines follow it.
        const size_t next = end + (text.substr(end, 2) == "\r\n" ? 2 : end < text.size() ? 1 : 0);
        if (const auto name = SectionNameOf(line)) {
            if (inSection) break;
            inSection = equal(*name, section);
            if (inSection) insertAt = next;
        } else if (inSection) {
            // A line without "=" is a key without a value to the reader. The
            // name stays as it is spelled; the value follows its "=".
            const size_t equalsSign = line.find('=');
            if (equal(WithoutProfileBlanks(line.substr(0, equalsSign)), key)) {
                const size_t valueAt = equalsSign == kNone ? end : at + equalsSign + 1;
                return std::string(text.substr(0, valueAt))
                    .append(equalsSign == kNone ? "=" : "")
                    .append(value)
                    .append(text.substr(end));
            }
            if (!WithoutProfileBlanks(line).empty()) insertAt = next;
        }
        at = next;
    }
    const bool sectionFound = insertAt != kNone;
    if (!sectionFound) insertAt = text.size();
    std::string result(text.substr(0, insertAt));
    if (result.size() > start && !EndsLine(result.back())) result += "\r\n";  // a last line without its ending
    if (!sectionFound) {
        if (!WithoutProfileBlanks(std::string_view(result).substr(start)).empty()) result += "\r\n";
        result.append("[").append(section).append("]\r\n");
    }
    return result.append(key).append("=").append(value).append("\r\n").append(text.substr(insertAt));
}
