// Text rules of the module that need no Windows: settings numbers, command
// words, the information line, folder paths and system message tails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The switches stored under Main/Flags: bit 0 F12, bit 1 Control-T.
using KeyEnableFlags = int32_t;
constexpr KeyEnableFlags kF12Flag = 1;
constexpr KeyEnableFlags kControlTFlag = 2;
constexpr KeyEnableFlags kDefaultKeyFlags = kControlTFlag;

// Reads a settings number: blanks, an optional sign, then decimal digits or a
// hexadecimal number after "$", "x", "X", "0x" or "0X", up to the end of the
// text. Hexadecimal values are 32-bit two's complement. Nothing on failure.
std::optional<int32_t> ParseSettingsInteger(std::string_view text);

// The flags that a settings value stands for, with the default when the text
// is no number; only bits 0 and 1 are kept.
KeyEnableFlags KeyFlagsFromText(std::string_view text);

KeyEnableFlags KeyFlagsOf(bool f12Enabled, bool controlTEnabled);

// Upper case for a to z only, so accented letters never match a command word.
std::string UpperCaseAscii(std::string_view text);

// The last line of the information text: which keys start a selection.
std::string ActiveKeysLine(bool f12Enabled, bool controlTEnabled);

// A folder text with exactly one backslash added when it lacks one; empty stays empty.
std::string WithTrailingBackslash(std::string_view folder);

// A system error text without the trailing blanks, control characters and
// full stops that would end a chat line badly.
std::string TrimMessageTail(std::string_view message);

// The low `digits` hexadecimal digits of value, upper case, leading zeros kept.
std::string HexDigits(uint32_t value, size_t digits);
