#include "chooser.h"

#include "../module/state.h"
#include "map_text.h"

namespace {

constexpr char kMapFilter[] = "Map Files (*.map)\0*.map\0All Files (*.*)\0*.*\0";
constexpr char kTitle[] = "Tarnwick: Choose a MAP file...";

}  // namespace

void PrepareMapFileDialog(MapFileDialog& dialog, const std::string& current) {
    const size_t copied = current.copy(dialog.file, kMapFileBufferSize - 1);
    dialog.file[copied] = '\0';
    dialog.initialFolder = FolderPartOf(current);

    OPENFILENAMEA& record = dialog.record;
    record = {};
    static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEA) == 88, "the full record, reserved fields included");
    record.lStructSize = sizeof(record);
    record.hwndOwner = g_state.clientWindow;
    record.lpstrFile = dialog.file;
    record.nMaxFile = kMapFileBufferSize;
    record.lpstrFilter = kMapFilter;
    record.nFilterIndex = 1;
    record.lpstrInitialDir = dialog.initialFolder.c_str();  // empty text, never null
    // No OFN_NOCHANGEDIR: the selection flow sets the current folder back itself.
    record.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    record.lpstrTitle = kTitle;
}

std::string ChooseMapFile(const std::string& current) {
    MapFileDialog dialog;
    PrepareMapFileDialog(dialog, current);
    if (!GetOpenFileNameA(&dialog.record)) return {};
    return std::string(dialog.file);
}
