#include "file_error.h"

#include "system_path.h"
#include "text.h"

std::string SystemMessageText(DWORD code) {
    constexpr DWORD kMessageBufferSize = 256;
    char buffer[kMessageBufferSize] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, buffer, kMessageBufferSize, nullptr);
    return TrimMessageTail(std::string_view(buffer, length));
}

std::string FullPathOf(const std::string& path) {
    const std::string full = PathFromSystem<char>(
        [&](char* buffer, DWORD size) { return GetFullPathNameA(path.c_str(), size, buffer, nullptr); });
    return full.empty() ? path : full;
}

FileError FileErrorOf(const char* action, const std::string& path, const std::string& reason) {
    return FileError(std::string("Cannot ") + action + " \"" + FullPathOf(path) + "\". " + reason);
}

FileError SystemErrorOf(const char* action, const std::string& path, DWORD code) {
    return FileErrorOf(action, path, SystemMessageText(code));
}
