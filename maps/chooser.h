// The open-file dialog in which the player picks the map to upload. It is
// the wide dialog, so that any file name can be picked; what goes to the
// ANSI client is converted after the choice.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

#include "../module/system_path.h"

// Everything the dialog is given, filled in place: the record points into
// the buffer and the folder text beside it.
struct MapFileDialog {
    wchar_t file[kPathBufferSize];
    std::wstring initialFolder;
    OPENFILENAMEW record;
};

// The client window while it exists, which owns the dialog; null otherwise.
HWND LiveClientWindow();

// Sets the dialog up to start at current, the MAP value in the ANSI code
// page: at its long form where the file exists, the name cut to 2048
// characters, the initial folder from the whole path, the map filter
// selected, owned by the client window while that window exists.
void PrepareMapFileDialog(MapFileDialog& dialog, const std::string& current);

// Shows the dialog starting at current; the chosen path, or empty text when
// the player cancels. Raises FileError when the dialog cannot be shown.
std::wstring ChooseMapFile(const std::string& current);

// Closes an open map dialog of this thread as if the player canceled it.
void CancelMapFileDialog();

// A chosen map in the ANSI code page: what MAP gets so that the client can
// open it (see StoredMapPath), and the chat's text of it, the long form with
// "?" for what the code page lacks.
struct ClientPaths {
    std::string mapValue;
    std::string chatText;
};

// Raises FileError, naming the file, when neither its short nor its long
// form converts exactly.
ClientPaths ClientPathsOf(const std::wstring& chosen);
