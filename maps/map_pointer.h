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
// open, see ClientPathsOf).
// Two routes:
// - through a new file beside editor.ini, renamed over it in one step, so
//   that on any error editor.ini stays as it was, byte for byte;
// - in place, over editor.ini's own bytes, where a rename would cut off its
//   other names (a link, hard links) or no new file can be made there. An
//   error part-way writes the old bytes back as far as the disk takes them.
// Raises FileError when the file cannot be read, made or written.
void WriteMapPointer(const std::string& path, const std::string& value);
