// The MAP entry of the client's editor.ini: the map file that the client's
// own upload sends.
#pragma once

#include <string>

// The current MAP value of the editor.ini at path; empty when the file, the
// entry or its value is missing. Raises FileError when the file exists but
// cannot be read.
std::string ReadMapPointer(const std::string& path);

// Stores value, as it is given, as the MAP value of the editor.ini at path,
// keeping every other line (the selection flow decides what the client can
// open, see ClientPathsOf), through RewriteFile: editor.ini holds its old
// text or the new one, whatever happens, and is never written past the size
// that ReadMapPointer takes. Raises FileError when the file cannot be read,
// made or written.
void WriteMapPointer(const std::string& path, const std::string& value);
