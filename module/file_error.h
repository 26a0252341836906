// Errors of the file layer travel as exceptions whose text is what the
// player reads after "Tarnwick: ".
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <utility>

// Not a std::runtime_error: that one keeps its text in the C++ library's
// older string, which brought half of the DLL's bytes with it
// (docs/building.md, "What keeps it small").
struct FileError : std::exception {
    explicit FileError(std::string text) : text(std::move(text)) {}
    const char* what() const noexcept override { return text.c_str(); }
    std::string text;
};

// The system's text for an error code, trimmed for a chat line; empty when
// the system has none.
std::string SystemMessageText(DWORD code);

// The absolute form of a path, as error texts show it.
std::string FullPathOf(const std::string& path);

// What failed, in the one form of the file layer's errors:
// Cannot <action> "<full path>". <reason>
constexpr char kOpen[] = "open file", kCreate[] = "create file", kWrite[] = "write file", kUpdate[] = "update file";
FileError FileErrorOf(const char* action, const std::string& path, const std::string& reason);
FileError SystemErrorOf(const char* action, const std::string& path, DWORD code);
