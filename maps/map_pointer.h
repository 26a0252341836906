// The MAP entry of the client's editor.ini: the map file that the client's
// own upload sends.
#pragma once

#include <string>

// The current MAP value; empty when the file, the entry or its value is
// missing. Raises FileError when the file exists but cannot be read.
std::string ReadMapPointer();

// Stores the short form of path as the MAP value, keeping every other line.
// The file is replaced in one step: on any error it stays as it was.
void WriteMapPointer(const std::string& path);
