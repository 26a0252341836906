// The settings number against a second, plainly written reading of the same
// rules: a table of states for the form, the standard library for the value
// and 64-bit arithmetic for the range. Any disagreement aborts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

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
    std::fprintf(stderr, "settings number disagreement for \"");
    for (unsigned char c : text) std::fprintf(stderr, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
    std::fprintf(stderr, "\": expected %s, got %s\n", expected.c_str(), actual.c_str());
    std::abort();
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
    return 0;
}
