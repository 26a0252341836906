// The client's own reading of its editor.ini. The client needs one entry
// from it, MAP: the dream file that an upload sends.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The whole file as bytes; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// The value of the first line "MAP=value", the name in any case and blanks
// around name and value dropped; nothing when no line has that name.
std::optional<std::string> MapEntryOf(std::string_view text);
