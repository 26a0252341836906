#include "file_error.h"

#include "text.h"

std::string SystemMessageText(DWORD code) {
    constexpr DWORD kMessageBufferSize = 256;
    char buffer[kMessageBufferSize] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, buffer, kMessageBufferSize, nullptr);
    return TrimMessageTail(std::string_view(buffer, length));
}

std::string FullPathOf(const std::string& path) {
    constexpr DWORD kPathBufferSize = 2049;
    char buffer[kPathBufferSize] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), kPathBufferSize, buffer, nullptr);
    if (length == 0 || length >= kPathBufferSize) return path;
    return std::string(buffer, length);
}
