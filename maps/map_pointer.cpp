#include "map_pointer.h"

#include <windows.h>

#include <optional>

#include "../module/code_page.h"
#include "../module/file_error.h"
#include "../module/host_link.h"
#include "../module/scoped_win.h"
#include "../module/system_path.h"
#include "../module/text.h"
#include "../resources/string_ids.h"
#include "map_text.h"

namespace {

constexpr LONGLONG kLargestFileMiB = 16;  // editor.ini is a few lines; anything this big is something else
constexpr LONGLONG kLargestFile = kLargestFileMiB << 20;
constexpr DWORD kNewFileAttempts = 16;  // names tried for the new text's file before writing in place
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Names compare as the player's locale would, ignoring case, like the client.
bool NamesEqualForUser(std::string_view fileName, std::string_view wanted) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, fileName.data(), static_cast<int>(fileName.size()),
                          wanted.data(), static_cast<int>(wanted.size())) == CSTR_EQUAL;
}

// What failed, in the one form of the file layer's errors:
// Cannot <action> "<full path>". <reason>
constexpr char kOpen[] = "open file", kCreate[] = "create file", kWrite[] = "write file", kUpdate[] = "update file";

FileError FileErrorOf(const char* action, const std::string& path, const std::string& reason) {
    return FileError(std::string("Cannot ") + action + " \"" + FullPathOf(path) + "\". " + reason);
}

FileError SystemErrorOf(const char* action, const std::string& path, DWORD code) {
    return FileErrorOf(action, path, SystemMessageText(code));
}

FileError TooLargeErrorOf(const char* action, const std::string& path) {
    return FileErrorOf(action, path, "It is larger than " + std::to_string(kLargestFileMiB) + " MiB");
}

HANDLE OpenForReading(const std::string& path, DWORD shareMode) {
    return CreateFileA(path.c_str(), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The whole of an open file; nothing when it is larger than kLargestFile.
std::optional<std::string> ReadAll(HANDLE file, const std::string& path, const char* readAction) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) throw SystemErrorOf(readAction, path, GetLastError());
    if (size.QuadPart > kLargestFile) return std::nullopt;  // compared before any cast cuts it
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < text.size()) {
        DWORD got = 0;
        if (!ReadFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &got, nullptr))
            throw SystemErrorOf(readAction, path, GetLastError());
        if (got == 0) break;  // the file shrank while we read it
        done += got;
    }
    text.resize(done);
    return text;
}

bool IsExistingFile(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The path that an open file or folder really has, links followed; empty when
// the system cannot tell.
std::wstring FinalPathOf(HANDLE handle) {
    return PathFromSystem<wchar_t>([&](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(handle, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
}

bool PathsEqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Whether the open file has its content under another name as well (see
// HasOtherNames of the file's text). Wide paths, so that no character of a
// double-byte code page is taken for a backslash.
bool OpenFileHasOtherNames(HANDLE file, const std::string& path, DWORD attributes) {
    // The standard record: Wine takes about 1 ms for GetFileInformationByHandle.
    FILE_STANDARD_INFO information = {};
    const bool counted = GetFileInformationByHandleEx(file, FileStandardInfo, &information, sizeof information);
    const std::wstring widePath = WideFromAnsi(path);
    const std::wstring folder = FolderPartOf(widePath);
    ScopedFile folderHandle(CreateFileW(folder.empty() ? L"." : folder.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const std::wstring filePath = FinalPathOf(file);
    const std::wstring folderPath = folderHandle.IsValid() ? FinalPathOf(folderHandle.Get()) : std::wstring();
    return HasOtherNames({(attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0, counted ? information.NumberOfLinks : 0,
                          filePath, folderPath, std::wstring_view(widePath).substr(folder.size())},
                         PathsEqualIgnoringCase);
}

struct OldFile {
    std::string text;
    bool hasOtherNames = false;
};

// The old text is read only to be kept; a failure here is a failed write.
OldFile ReadForRewrite(const std::string& target, DWORD attributes) {
    ScopedFile file(OpenForReading(target, kShareAll));
    if (!file.IsValid()) throw SystemErrorOf(kCreate, target, GetLastError());
    std::optional<std::string> text = ReadAll(file.Get(), target, kCreate);
    if (!text) throw TooLargeErrorOf(kUpdate, target);
    return {std::move(*text), OpenFileHasOtherNames(file.Get(), target, attributes)};
}

// Writes the whole text from the start of the file, ends the file after it
// and puts the bytes on the disk. Raises FileError naming path.
void WriteWhole(HANDLE file, const std::string& text, const std::string& path) {
    DWORD written = 0;
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) ||
        !WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        throw SystemErrorOf(kWrite, path, GetLastError());
    // A write that takes only part of the text reports no error of its own.
    if (written != text.size()) throw FileError("Stream write error");
    if (!SetEndOfFile(file) || !FlushFileBuffers(file)) throw SystemErrorOf(kWrite, path, GetLastError());
}

// A name for the new text's file beside editor.ini: no longer than
// "editor.ini", so that any path that works for one works for the other.
// Numbered from the process id; a name that is taken, by a leftover of an
// interrupted write or by anything else, is passed by.
std::string NewFileName(DWORD number) { return "tw" + HexDigits(number, 4) + ".tmp"; }

// Writes a new file beside the target and renames it over the target, so
// that a failure at any step leaves the target's old bytes in place. False
// when no new file can be made there.
bool ReplaceThroughNewFile(const std::string& target, const std::string& text, DWORD keptAttributes) {
    const std::string folder = FolderPartOf(target, IsAnsiLeadByte);
    for (DWORD i = 0; i < kNewFileAttempts; ++i) {
        ScopedTempFile temporary(folder + NewFileName(GetCurrentProcessId() + i),
                                 keptAttributes ? keptAttributes : FILE_ATTRIBUTE_NORMAL);
        if (!temporary.File().IsValid()) continue;
        WriteWhole(temporary.File().Get(), text, temporary.Path());
        if (!temporary.File().Close()) throw SystemErrorOf(kWrite, temporary.Path(), GetLastError());
        if (!MoveFileExA(temporary.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw SystemErrorOf(kCreate, target, GetLastError());
        temporary.Keep();
        return true;
    }
    return false;
}

// Writes over the target's own bytes, which keeps links and their targets
// together; puts the old bytes back when that fails part-way.
void WriteInPlace(const std::string& target, const std::string& text, const std::string& oldText) {
    ScopedFile file(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) throw SystemErrorOf(kCreate, target, GetLastError());
    try {
        WriteWhole(file.Get(), text, target);
    } catch (const FileError&) {
        // The old bytes back as far as the disk takes them; the player hears
        // of the first failure.
        try {
            WriteWhole(file.Get(), oldText, target);
        } catch (const FileError&) {
        }
        throw;
    }
}

}  // namespace

std::string ReadMapPointer(const std::string& path) {
    if (!IsExistingFile(GetFileAttributesA(path.c_str()))) return {};
    ScopedFile file(OpenForReading(path, FILE_SHARE_READ));
    if (!file.IsValid()) throw SystemErrorOf(kOpen, path, GetLastError());
    const std::optional<std::string> text = ReadAll(file.Get(), path, kOpen);
    if (!text) throw TooLargeErrorOf(kOpen, path);
    return FindEntryValue(*text, LoadText(IDS_MAP_ENTRY), NamesEqualForUser);
}

void WriteMapPointer(const std::string& target, const std::string& value) {
    const DWORD attributes = GetFileAttributesA(target.c_str());
    const bool exists = IsExistingFile(attributes);
    // Windows refuses to replace a read-only file; Wine would not, so ask first.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) throw SystemErrorOf(kCreate, target, ERROR_ACCESS_DENIED);

    const OldFile old = exists ? ReadForRewrite(target, attributes) : OldFile();
    const std::optional<std::string> text = RewriteEntry(old.text, LoadText(IDS_MAP_ENTRY), value, NamesEqualForUser);
    if (!text) {
        throw FileErrorOf(kUpdate, target,
                          "It is not plain text (it holds NUL bytes). Save it as ANSI text and choose the map again.");
    }
    const DWORD keptAttributes = exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;
    if (old.hasOtherNames || !ReplaceThroughNewFile(target, *text, keptAttributes))
        WriteInPlace(target, *text, old.text);
}
