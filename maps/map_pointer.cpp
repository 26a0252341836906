#include "map_pointer.h"

#include <windows.h>

#include <optional>

#include "../module/code_page.h"
#include "../module/file_error.h"
#include "../module/host_link.h"
#include "../module/scoped_win.h"
#include "../module/text_file.h"
#include "../resources/string_ids.h"
#include "map_text.h"

std::string ReadMapPointer(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) throw SystemErrorOf(kOpen, path, GetLastError());
    const std::optional<std::string> text = ReadWholeFile(file.Get(), path, kOpen);
    if (!text) throw FileErrorOf(kOpen, path, "It is larger than " + std::to_string(kLargestFileMiB) + " MiB");
    return FindEntryValue(*text, LoadText(IDS_MAP_ENTRY), NamesEqualForUser);
}

void WriteMapPointer(const std::string& target, const std::string& value) {
    const OldFile old = ReadForRewrite(target);
    const std::optional<std::string> text = RewriteEntry(old.text, LoadText(IDS_MAP_ENTRY), value, NamesEqualForUser);
    if (!text) {
        throw FileErrorOf(kUpdate, target,
                          "It is not plain text (it holds NUL bytes). Save it as ANSI text and choose the map again.");
    }
    RewriteFile(target, old, *text);
}
