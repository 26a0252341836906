#include "map_pointer.h"

#include <windows.h>

#include <optional>

#include "../module/file_error.h"
#include "../module/host_link.h"
#include "../module/scoped_win.h"
#include "../module/state.h"
#include "../resources/string_ids.h"
#include "map_text.h"

namespace {

constexpr DWORD kPathBufferSize = 2049;  // 2048 characters and the NUL

// Names compare as the player's locale would, ignoring case, like the client.
bool NamesEqualForUser(std::string_view fileName, std::string_view wanted) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, fileName.data(), static_cast<int>(fileName.size()),
                          wanted.data(), static_cast<int>(wanted.size())) == CSTR_EQUAL;
}

std::string OpenErrorText(const std::string& path, DWORD code) {
    return "Cannot open file \"" + FullPathOf(path) + "\". " + SystemMessageText(code);
}

std::string CreateErrorText(const std::string& path, DWORD code) {
    return "Cannot create file \"" + FullPathOf(path) + "\". " + SystemMessageText(code);
}

std::string UpdateErrorText(const std::string& path, const char* reason) {
    return "Cannot update \"" + FullPathOf(path) + "\": " + reason;
}

using ErrorText = std::string (*)(const std::string& path, DWORD code);

std::string ReadWholeFile(const std::string& path, DWORD shareMode, ErrorText openError) {
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) throw FileError(openError(path, GetLastError()));

    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size)) throw FileError(openError(path, GetLastError()));
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < text.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), text.data() + done, static_cast<DWORD>(text.size() - done), &got, nullptr))
            throw FileError("Stream read error");
        if (got == 0) break;  // the file shrank while we read it
        done += got;
    }
    text.resize(done);
    return text;
}

bool IsExistingFile(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The 8.3 form that the client expects, or the path itself when the system
// has none that fits.
std::string ShortPathOf(const std::string& path) {
    char buffer[kPathBufferSize] = {};
    const DWORD length = GetShortPathNameA(path.c_str(), buffer, kPathBufferSize);
    if (length == 0 || length >= kPathBufferSize) return path;
    return std::string(buffer, length);
}

void WriteAll(HANDLE file, const std::string& text) {
    DWORD written = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        throw FileError("Stream write error");
    }
}

// Writes a sibling file and renames it over the target, so that a failure
// at any step leaves the target's old bytes in place.
void ReplaceFileText(const std::string& target, const std::string& text, DWORD keptAttributes) {
    ScopedTempFile temporary(target + ".tarnwick-new");
    DeleteFileA(temporary.Path().c_str());  // a leftover of an interrupted write
    ScopedFile file(CreateFileA(temporary.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                keptAttributes ? keptAttributes : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) throw FileError(CreateErrorText(target, GetLastError()));
    WriteAll(file.Get(), text);
    if (!FlushFileBuffers(file.Get()) || !file.Close()) throw FileError("Stream write error");
    if (!MoveFileExA(temporary.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw FileError(CreateErrorText(target, GetLastError()));
    temporary.Keep();
}

}  // namespace

std::string ReadMapPointer() {
    const std::string& path = g_state.mapPointerPath;
    if (!IsExistingFile(GetFileAttributesA(path.c_str()))) return {};
    const std::string text = ReadWholeFile(path, FILE_SHARE_READ, OpenErrorText);
    return FindEntryValue(text, LoadText(IDS_MAP_ENTRY), NamesEqualForUser);
}

void WriteMapPointer(const std::string& path) {
    const std::string value = ShortPathOf(path);
    const std::string& target = g_state.mapPointerPath;
    const DWORD attributes = GetFileAttributesA(target.c_str());
    const bool exists = IsExistingFile(attributes);
    // Windows refuses to replace a read-only file; Wine would not, so ask first.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) throw FileError(CreateErrorText(target, ERROR_ACCESS_DENIED));

    // The old lines are read only to be kept; a failure here is a failed write.
    const std::string oldText =
        exists ? ReadWholeFile(target, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, CreateErrorText)
               : std::string();
    const DWORD keptAttributes = exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;
    const std::optional<std::string> text = RewriteEntry(oldText, LoadText(IDS_MAP_ENTRY), value, NamesEqualForUser);
    if (!text) {
        throw FileError(UpdateErrorText(
            target, "it is not plain text (it holds NUL bytes). Save it as ANSI text and choose the map again."));
    }
    ReplaceFileText(target, *text, keptAttributes);
}
