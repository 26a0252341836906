// Text between the ANSI code page, in which the client and the framework
// speak, and the wide form of the system's own calls. The ANSI code page may
// be a double-byte one (Japanese, Chinese, Korean) or UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "text.h"

std::wstring WideFromAnsi(std::string_view text);

// Characters that the code page lacks become "?", and the result says so.
AnsiPath AnsiFromWide(std::wstring_view text);

// The code page's own rule (see IsLeadByte).
bool IsAnsiLeadByte(char byte);

// Names as the player's locale compares them, ignoring case, as the client
// and the system's profile reader do (see NamesEqual).
bool NamesEqualForUser(std::string_view fileName, std::string_view wanted);
