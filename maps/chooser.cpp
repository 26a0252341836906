#include "chooser.h"

#include <iterator>
#include <string_view>

#include "../module/code_page.h"
#include "../module/file_error.h"
#include "../module/state.h"
#include "../module/text.h"
#include "map_text.h"

namespace {

constexpr wchar_t kMapFilter[] = L"Map Files (*.map)\0*.map\0All Files (*.*)\0*.*\0";
constexpr wchar_t kTitle[] = L"Tarnwick: Choose a MAP file...";

// The long form of a path whose file exists. Only paths that fit MAX_PATH
// are asked about: Wine's GetLongPathNameW crashes on very long ones.
std::wstring LongFormOf(const std::wstring& path) {
    if (path.empty() || path.size() >= MAX_PATH) return path;
    const std::wstring longForm = PathFromSystem<wchar_t>(
        [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); });
    return longForm.empty() ? path : longForm;
}

std::wstring ShortFormOf(const std::wstring& path) {
    return PathFromSystem<wchar_t>(
        [&](wchar_t* buffer, DWORD size) { return GetShortPathNameW(path.c_str(), buffer, size); });
}

// The dialog's errors are 16-bit codes, written in hexadecimal where they are documented.
std::string DialogErrorText(DWORD code) {
    return "The map file dialog could not be opened (error 0x" + HexDigits(code, 4) + "). Dream not uploaded.";
}

BOOL CALLBACK CancelIfMapDialog(HWND window, LPARAM) {
    wchar_t title[std::size(kTitle) + 1] = {};
    GetWindowTextW(window, title, static_cast<int>(std::size(title)));
    if (std::wstring_view(title) == kTitle) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

void CancelMapFileDialog() { EnumThreadWindows(GetCurrentThreadId(), CancelIfMapDialog, 0); }

HWND LiveClientWindow() { return IsWindow(g_state.clientWindow) ? g_state.clientWindow : nullptr; }

void PrepareMapFileDialog(MapFileDialog& dialog, const std::string& current) {
    const std::wstring start = LongFormOf(WideFromAnsi(current));
    const size_t copied = start.copy(dialog.file, kPathBufferSize - 1);
    dialog.file[copied] = L'\0';
    dialog.initialFolder = FolderPartOf(start);

    OPENFILENAMEW& record = dialog.record;
    record = {};
    static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88, "the full record, reserved fields included");
    record.lStructSize = sizeof(record);
    // A window that is gone would make the dialog fail; without an owner it still opens.
    record.hwndOwner = LiveClientWindow();
    record.lpstrFile = dialog.file;
    record.nMaxFile = kPathBufferSize;
    record.lpstrFilter = kMapFilter;
    record.nFilterIndex = 1;
    record.lpstrInitialDir = dialog.initialFolder.c_str();  // empty text, never null
    // No OFN_NOCHANGEDIR: the selection flow sets the current folder back itself.
    record.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    record.lpstrTitle = kTitle;
}

std::wstring ChooseMapFile(const std::string& current) {
    MapFileDialog dialog;
    PrepareMapFileDialog(dialog, current);
    if (GetOpenFileNameW(&dialog.record)) return dialog.file;
    // Zero is a cancel, unless the dialog says it failed.
    if (const DWORD error = CommDlgExtendedError()) throw FileError(DialogErrorText(error));
    return {};
}

ClientPaths ClientPathsOf(const std::wstring& chosen) {
    const AnsiPath longForm = AnsiFromWide(chosen);
    if (auto stored = StoredMapPath(AnsiFromWide(ShortFormOf(chosen)), longForm)) return {*stored, longForm.text};
    throw FileError("Cannot use \"" + longForm.text +
                    "\": the client cannot read its name, and this volume keeps no short name for it. "
                    "Rename the file or its folder and choose it again.");
}
