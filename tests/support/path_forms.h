// The forms of a path and facts about files that tests compare against.
#pragma once

#include <string>

// Text in the ANSI code page, and back; "?" for what it lacks.
std::wstring Wide(const std::string& text);
std::string Ansi(const std::wstring& text);

// The system's 8.3 form of a path, in the ANSI code page; empty when it has none.
std::string ShortPath(const std::wstring& path);
std::string ShortPath(const std::string& path);

// The process's current folder.
std::string CurrentFolder();

// A rename over a file gives it a new number; a write in place keeps it.
unsigned long FileNumberOf(const std::string& path);
