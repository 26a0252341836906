#include "text_file.h"

#include <memory>
#include <vector>

#include "code_page.h"
#include "file_error.h"
#include "scoped_win.h"
#include "system_path.h"
#include "text.h"

namespace {

constexpr DWORD kNewFileAttempts = 16;  // names tried for a new file beside the file before giving up
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// What a new file takes over from the one it replaces; read-only files are
// refused, the rest the system sets itself.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

FileError TooLargeErrorOf(const std::string& path, const char* state) {
    return FileErrorOf(kUpdate, path, std::string("It ") + state + " larger than " + std::to_string(kLargestFileMiB) + " MiB");
}

bool IsExistingFile(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The real path of an open file, links followed, where a new file renamed
// over it replaces it and every name of it sees the new text; empty where it
// has other names (hard links) that a rename would cut off, or the system
// cannot tell. A symbolic link made on the Linux side under Wine looks like a
// plain file: only this path tells where it leads.
std::wstring ReplaceablePathOf(HANDLE file) {
    // The standard record: Wine takes about 1 ms for GetFileInformationByHandle.
    FILE_STANDARD_INFO information = {};
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &information, sizeof information) ||
        information.NumberOfLinks != 1)
        return {};
    return PathFromSystem<wchar_t>([&](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(file, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
}

// Writes the whole text from the start of the file, ends the file after it,
// puts the bytes on the disk and reads them back: a full disk must show here,
// whatever a write reported. Raises FileError naming path, the file the
// player knows, also for a new file beside it.
void WriteWhole(HANDLE file, const std::string& text, const std::string& path) {
    DWORD written = 0;
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) ||
        !WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        throw SystemErrorOf(kWrite, path, GetLastError());
    // A write that takes only part of the text reports no error of its own;
    // the player hears of the file that he knows all the same.
    if (written != text.size()) throw FileErrorOf(kWrite, path, "The disk took only part of it");
    if (!SetEndOfFile(file) || !FlushFileBuffers(file)) throw SystemErrorOf(kWrite, path, GetLastError());
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) throw SystemErrorOf(kWrite, path, GetLastError());
    if (ReadWholeFile(file, path, kWrite) != text) throw FileErrorOf(kWrite, path, "It reads back otherwise");
}

// A name for a new file beside the file: no longer than "editor.ini", so that
// any path that works for one works for the other. Numbered from the process
// id; a name that is taken, by a leftover of an interrupted write or by
// anything else, is passed by.
std::wstring NewFileName(DWORD number, const wchar_t* extension) {
    const std::string digits = HexDigits(number, 4);
    return L"tw" + std::wstring(digits.begin(), digits.end()) + extension;
}

// A new file beside target holding text, written whole; nothing when no new
// file can be made there. Deleted when the owner goes, unless kept.
std::unique_ptr<ScopedTempFile> NewFileWith(const std::wstring& target, const std::string& text, DWORD attributes,
                                            const wchar_t* extension, const std::string& path) {
    const std::wstring folder = FolderPartOf(target);
    for (DWORD i = 0; i < kNewFileAttempts; ++i) {
        auto file = std::make_unique<ScopedTempFile>(folder + NewFileName(GetCurrentProcessId() + i, extension),
                                                     attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
        if (!file->File().IsValid()) continue;
        WriteWhole(file->File().Get(), text, path);
        if (!file->File().Close()) throw SystemErrorOf(kWrite, path, GetLastError());
        return file;
    }
    return nullptr;
}

// The access list of the file being replaced, onto its replacement: renamed
// as it is, the new file would have the folder's defaults (under Wine, whose
// access lists are the Linux file mode: 644 for 600). What ReplaceFileW keeps,
// without its steps: Wine's moves the old file away before the new one is in
// place, and Windows' can fail between them. Best effort: a volume without
// access lists has none to keep.
void CopyAccessList(const std::wstring& from, const std::wstring& to) {
    DWORD needed = 0;
    GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0) return;
    std::vector<BYTE> descriptor(needed);
    if (GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
        SetFileSecurityW(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
}

// Writes a new file beside the file's real path and renames it over it, so
// that a failure at any step leaves the old text in place. False when no new
// file can be made there.
bool ReplaceThroughNewFile(const std::string& path, const OldFile& old, const std::string& text) {
    const std::wstring& target = old.replaceablePath;
    const std::unique_ptr<ScopedTempFile> replacement =
        NewFileWith(target, text, old.exists ? old.attributes & kKeptAttributes : 0, L".tmp", path);
    if (!replacement) return false;
    if (old.exists) CopyAccessList(target, replacement->Path());
    if (!MoveFileExW(replacement->Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw SystemErrorOf(kCreate, path, GetLastError());
    replacement->Keep();
    return true;
}

// Writes over the file's own bytes, which keeps every name of it. A copy of
// the old text goes beside it first, for the player should the process die
// during the write; when the write fails, the old bytes go back, and the
// copy stays only if they could not.
void WriteInPlace(const std::string& path, const OldFile& old, const std::string& text) {
    const std::wstring target = WideFromAnsi(path);
    std::unique_ptr<ScopedTempFile> copy;
    try {
        copy = NewFileWith(target, old.text, old.attributes & kKeptAttributes, L".bak", path);
    } catch (const FileError&) {
        // No room for a copy either: the write below will say so.
    }
    ScopedFile file(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) throw SystemErrorOf(kCreate, path, GetLastError());
    try {
        WriteWhole(file.Get(), text, path);
    } catch (const FileError&) {
        // The player hears of the first failure.
        try {
            WriteWhole(file.Get(), old.text, path);
        } catch (const FileError&) {
            if (copy) copy->Keep();
        }
        throw;
    }
}

}  // namespace

std::optional<std::string> ReadWholeFile(HANDLE file, const std::string& path, const char* readAction) {
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

OldFile ReadForRewrite(const std::string& path) {
    OldFile old;
    old.attributes = GetFileAttributesA(path.c_str());
    old.exists = IsExistingFile(old.attributes);
    // Only a file that is not there is written afresh: one that the system
    // could not look at would lose every other line of it.
    if (old.attributes == INVALID_FILE_ATTRIBUTES && GetLastError() != ERROR_FILE_NOT_FOUND)
        throw SystemErrorOf(kCreate, path, GetLastError());
    if (!old.exists) {
        old.replaceablePath = WideFromAnsi(path);
        return old;
    }
    // Windows refuses to replace a read-only file; Wine would not, so ask first.
    if (old.attributes & FILE_ATTRIBUTE_READONLY) throw SystemErrorOf(kCreate, path, ERROR_ACCESS_DENIED);
    // The old text is read only to be kept; a failure here is a failed write.
    ScopedFile file(CreateFileW(WideFromAnsi(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) throw SystemErrorOf(kCreate, path, GetLastError());
    std::optional<std::string> text = ReadWholeFile(file.Get(), path, kCreate);
    if (!text) throw TooLargeErrorOf(path, "is");
    old.text = std::move(*text);
    old.replaceablePath = ReplaceablePathOf(file.Get());
    return old;
}

void RewriteFile(const std::string& path, const OldFile& old, const std::string& text) {
    if (static_cast<LONGLONG>(text.size()) > kLargestFile) throw TooLargeErrorOf(path, "would be");
    if (old.replaceablePath.empty() || !ReplaceThroughNewFile(path, old, text)) WriteInPlace(path, old, text);
}
