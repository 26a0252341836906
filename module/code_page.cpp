#include "code_page.h"

#include <windows.h>

std::wstring WideFromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

AnsiPath AnsiFromWide(std::wstring_view text) {
    if (text.empty()) return {"", true};
    // With UTF-8 as the ANSI code page every character converts, and the
    // call refuses the default-character flags.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const reportDefault = utf8 ? nullptr : &usedDefault;
    const int size = static_cast<int>(text.size());
    std::string ansi(WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, nullptr, reportDefault), '\0');
    const int converted = WideCharToMultiByte(CP_ACP, flags, text.data(), size, ansi.data(),
                                              static_cast<int>(ansi.size()), nullptr, reportDefault);
    return {ansi, converted > 0 && !usedDefault};
}

bool IsAnsiLeadByte(char byte) { return IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(byte)); }

bool NamesEqualForUser(std::string_view fileName, std::string_view wanted) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, fileName.data(), static_cast<int>(fileName.size()),
                          wanted.data(), static_cast<int>(wanted.size())) == CSTR_EQUAL;
}
