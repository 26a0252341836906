// A picture of what the screen shows of some windows, saved as PNG.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Captures the smallest rectangle that holds every one of the windows.
// Empty text on success, else what failed.
std::string SaveScreenshot(const std::vector<HWND>& windows, const std::string& path);
