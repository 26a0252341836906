// The settings number against a second, plainly written reading of the same
// rules: a table of states for the form, the standard library for the value
// and 64-bit arithmetic for the range. The same bytes as a whole Tarnwick.ini:
// the Flags written into them against a reading of the profile reader's
// rules. Any disagreement aborts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/text.h"

namespace {

enum class State { Blanks, Sign, Zero, Decimal, HexPrefix, Hex, Fail };

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return std::string_view("0123456789abcdefABCDEF").find(c) != std::string_view::npos; }

// The first character of the number itself, after blanks or a sign.
State NumberStart(char c, std::string& digits) {
    if (c == '$' || c == 'x' || c == 'X') return State::HexPrefix;
    if (IsDecimal(c)) digits += c;
    if (c == '0') return State::Zero;
    return IsDecimal(c) ? State::Decimal : State::Fail;
}

std::optional<int32_t> ReadByTheRules(std::string text) {
    if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.replace(0, 2, "$");

    State state = State::Blanks;
    bool negative = false;
    std::string digits;
    for (char c : text) {
        switch (state) {
            case State::Blanks:
                if (c == ' ') break;
                if (c == '+' || c == '-') {
                    negative = c == '-';
                    state = State::Sign;
                } else {
                    state = NumberStart(c, digits);
                }
                break;
            case State::Sign: state = NumberStart(c, digits); break;
            case State::Zero:
                if (c == 'x' || c == 'X') {
                    digits.clear();
                    state = State::HexPrefix;
                } else {
                    digits += c;
                    state = IsDecimal(c) ? State::Decimal : State::Fail;
                }
                break;
            case State::Decimal: digits += c; state = IsDecimal(c) ? State::Decimal : State::Fail; break;
            case State::HexPrefix:
            case State::Hex: digits += c; state = IsHex(c) ? State::Hex : State::Fail; break;
            case State::Fail: return std::nullopt;
        }
    }
    const bool hex = state == State::Hex;
    if (!hex && state != State::Zero && state != State::Decimal) return std::nullopt;

    // Leading zeros are free; what is left must fit in 32 bits of hexadecimal
    // or in ten decimal digits before the range test.
    const std::string significant = digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
    if (significant.size() > (hex ? 8u : 10u)) return std::nullopt;
    const int64_t magnitude = significant.empty() ? 0 : static_cast<int64_t>(std::stoull(significant, nullptr, hex ? 16 : 10));
    const int64_t value = negative ? -magnitude : magnitude;
    if (!hex) {
        if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
        return static_cast<int32_t>(value);
    }
    // Hexadecimal is a 32-bit pattern: reduce modulo 2^32 into the signed range.
    constexpr int64_t kTwoTo32 = int64_t{1} << 32;
    int64_t pattern = ((value % kTwoTo32) + kTwoTo32) % kTwoTo32;
    if (pattern > INT32_MAX) pattern -= kTwoTo32;
    return static_cast<int32_t>(pattern);
}

std::string Shown(std::optional<int32_t> value) { return value ? std::to_string(*value) : "failure"; }

[[noreturn]] void Disagree(std::string_view text, const std::string& expected, const std::string& actual) {
    std::fprintf(stderr, "settings disagreement for \"");
    for (unsigned char c : text) std::fprintf(stderr, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
    std::fprintf(stderr, "\": expected %s, got %s\n", expected.c_str(), actual.c_str());
    std::abort();
}

// The entries of a profile file as the system's reader takes them: lines end
// at CR or LF, blanks around every name go, a section header ends at its
// last "]", a line without "=" is a key without a value.
struct Entry {
    std::string section, key, value;
    bool header = false;  // the section's own line
    bool operator==(const Entry&) const = default;
};

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<Entry> Entries(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<Entry> entries;
    std::string section;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        const size_t close = line.rfind(']');
        if (line[0] == '[' && close != std::string_view::npos && close > 0) {
            section = Trimmed(line.substr(1, close - 1));
            entries.push_back({section, "", "", true});
            continue;
        }
        const size_t equalsSign = line.find('=');
        entries.push_back({section, std::string(Trimmed(line.substr(0, equalsSign))),
                           equalsSign == std::string_view::npos ? "" : std::string(Trimmed(line.substr(equalsSign + 1)))});
    }
    return entries;
}

bool IgnoringCase(std::string_view a, std::string_view b) { return UpperCaseAscii(a) == UpperCaseAscii(b); }

// The entries with Flags=3 where the reader looks for it: the first key of
// that name in the first Main section, else after that section's last entry,
// else in a new section at the end.
std::vector<Entry> WithFlags(std::vector<Entry> entries) {
    auto at = std::find_if(entries.begin(), entries.end(),
                           [](const Entry& e) { return e.header && IgnoringCase(e.section, "Main"); });
    if (at == entries.end()) {
        entries.push_back({"Main", "", "", true});
        entries.push_back({"Main", "Flags", "3"});
        return entries;
    }
    const std::string section = at->section;
    for (++at; at != entries.end() && !at->header; ++at) {
        if (IgnoringCase(at->key, "Flags")) {
            at->value = "3";
            return entries;
        }
    }
    entries.insert(at, {section, "Flags", "3"});
    return entries;
}

void CheckSettingsFile(std::string_view text) {
    const std::optional<std::string> written = WithProfileValue(text, "Main", "Flags", "3", IgnoringCase);
    const bool singleByte = text.find('\0') == std::string_view::npos;
    if (written.has_value() != singleByte) Disagree(text, singleByte ? "a rewrite" : "none (a NUL)", "the other");
    if (!written) return;
    // Of keys of one name in a section the reader finds the first, as here.
    if (Entries(*written) != WithFlags(Entries(text))) Disagree(text, "Flags=3 where the reader looks", "other entries");
    if (WithProfileValue(*written, "Main", "Flags", "3", IgnoringCase) != written)
        Disagree(text, "a second write to change nothing", "a change");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<int32_t> expected = ReadByTheRules(std::string(text));
    const std::optional<int32_t> actual = ParseSettingsInteger(text);
    if (expected != actual) Disagree(text, Shown(expected), Shown(actual));

    const KeyEnableFlags flags = KeyFlagsFromText(text);
    const KeyEnableFlags expectedFlags = expected.value_or(2) & 3;
    if (flags != expectedFlags) Disagree(text, "flags " + std::to_string(expectedFlags), "flags " + std::to_string(flags));
    CheckSettingsFile(text);
    return 0;
}
