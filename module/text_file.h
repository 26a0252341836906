// The text files that the module rewrites whole, editor.ini and Tarnwick.ini:
// read whole, and replaced so that an error, a full disk or a kill at any
// moment leaves the old text or the new one, never a part, with the file's
// links, attributes and access list kept.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Both are a few lines; a file this big is something else, and is neither
// read into memory nor written.
constexpr LONGLONG kLargestFileMiB = 16;
constexpr LONGLONG kLargestFile = kLargestFileMiB << 20;

// The whole of a file open for reading; nothing when it is larger than
// kLargestFile. Raises FileError "Cannot <readAction> ..." naming path.
std::optional<std::string> ReadWholeFile(HANDLE file, const std::string& path, const char* readAction);

// A file as it was before its rewrite.
struct OldFile {
    bool exists = false;
    DWORD attributes = 0;
    std::string text;
    // Where a new file renamed over it replaces it: its real path, links
    // followed. Empty where a rename would cut off another of its names (hard
    // links) or the system cannot tell; it is then written in place.
    std::wstring replaceablePath;
};

// Reads the file at path for its rewrite. Refuses a read-only file as Windows
// would (Wine would not), a file it cannot read and one larger than
// kLargestFile: raises FileError naming path.
OldFile ReadForRewrite(const std::string& path);

// Replaces the text of the file at path, as ReadForRewrite found it:
// - through a new file beside its real path, given its attributes and access
//   list, written, read back, and renamed over it in one step;
// - in place where a rename would cut off another of its names, or where no
//   new file can be made beside it: after a copy of the old text beside it
//   (removed afterwards; left behind only by a kill, for the player), and
//   with the old bytes written back when the write fails part-way.
// A text larger than kLargestFile is refused before anything is written:
// it could not be read again. Raises FileError naming path.
void RewriteFile(const std::string& path, const OldFile& old, const std::string& text);
