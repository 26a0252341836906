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

// Whether a byte begins a two-byte character of the ANSI code page, whose
// second byte may be a backslash (0x5C) in the double-byte code pages.
// Windows asks the code page; tests pass a code page's rule.
using IsLeadByte = bool (*)(char byte);

// A folder text with a backslash added when its last character is none;
// empty stays empty.
std::string WithTrailingBackslash(std::string_view folder, IsLeadByte isLeadByte);

// Everything up to and including the last backslash or colon; empty without one.
std::wstring FolderPartOf(std::wstring_view path);

// A path converted to the ANSI code page; exact when no character of it had
// to be replaced.
struct AnsiPath {
    std::string text;
    bool exact;
};

// Compares a name from a file (an INI entry's, a section's) with the wanted
// one. Windows compares by the user's locale, ignoring case; tests and
// fuzzers pass a plain one.
using NamesEqual = bool (*)(std::string_view fileName, std::string_view wanted);

// The text of a profile (INI) file with key set to value in section, placed
// where the system's profile reader looks: the first line of the first
// section of that name (blanks around names and "[" "]" aside) whose name
// (before "=", or the whole line) is key gets value after its "=", its name
// and line ending kept; a missing key
// goes after the section's last line that is not blank; a missing section
// goes at the end, after a blank line. Lines end at CR or LF; a UTF-8 byte
// order mark is passed by. Every other byte stays. Nothing when the text
// holds a NUL byte (UTF-16, which the reader takes and this would garble).
std::optional<std::string> WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                                            std::string_view value, NamesEqual equal);

// A system error text without the trailing blanks, control characters and
// full stops that would end a chat line badly.
std::string TrimMessageTail(std::string_view message);

// The low `digits` hexadecimal digits of value, upper case, leading zeros kept.
std::string HexDigits(uint32_t value, size_t digits);
