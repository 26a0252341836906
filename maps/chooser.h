// The open-file dialog in which the player picks the map to upload.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

constexpr DWORD kMapFileBufferSize = 2049;  // 2048 characters and the NUL

// Everything the dialog is given, filled in place: the record points into
// the buffer and the folder text beside it.
struct MapFileDialog {
    char file[kMapFileBufferSize];
    std::string initialFolder;
    OPENFILENAMEA record;
};

// Sets the dialog up to start at current: the name cut to 2048 characters,
// the initial folder from the whole path, the map filter selected.
void PrepareMapFileDialog(MapFileDialog& dialog, const std::string& current);

// Shows the dialog starting at current (the MAP value, possibly empty); the
// chosen path, or empty text when the player cancels or the dialog fails.
std::string ChooseMapFile(const std::string& current);
