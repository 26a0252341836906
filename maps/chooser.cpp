#include "chooser.h"

#include <windows.h>
#include <commdlg.h>

#include "../module/state.h"
#include "map_text.h"

namespace {

constexpr DWORD kFileBufferSize = 2049;  // 2048 characters and the NUL
constexpr char kMapFilter[] = "Map Files (*.map)\0*.map\0All Files (*.*)\0*.*\0";
constexpr char kTitle[] = "Tarnwick: Choose a MAP file...";

}  // namespace

std::string ChooseMapFile(const std::string& current) {
    char file[kFileBufferSize] = {};
    current.copy(file, kFileBufferSize - 1);
    const std::string initialFolder = FolderPartOf(current);

    OPENFILENAMEA dialog = {};
    static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEA) == 88, "the full record, reserved fields included");
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = g_state.clientWindow;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kFileBufferSize;
    dialog.lpstrFilter = kMapFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrInitialDir = initialFolder.c_str();
    // No OFN_NOCHANGEDIR: the selection flow sets the current folder back itself.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    dialog.lpstrTitle = kTitle;

    if (!GetOpenFileNameA(&dialog)) return {};
    return std::string(file);
}
