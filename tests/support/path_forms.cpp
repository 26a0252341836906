#include "path_forms.h"

#include <windows.h>

#include "module/system_path.h"

std::wstring Wide(const std::string& text) {
    wchar_t buffer[kPathBufferSize] = {};
    return std::wstring(buffer, MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer, kPathBufferSize) - 1);
}

std::string Ansi(const std::wstring& text) {
    char buffer[kPathBufferSize] = {};
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;  // UTF-8 takes no flags
    WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

std::string ShortPath(const std::wstring& path) {
    wchar_t buffer[kPathBufferSize] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, kPathBufferSize);
    return length < kPathBufferSize ? Ansi(std::wstring(buffer, length)) : std::string();
}

std::string ShortPath(const std::string& path) { return ShortPath(Wide(path)); }

std::string CurrentFolder() {
    char folder[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    return folder;
}

unsigned long FileNumberOf(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION information = {};
    GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return information.nFileIndexLow;
}
