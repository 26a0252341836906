#include "client_folders.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const char* const kSampleMapNames[] = {"Meadow of Lanterns.map", "Harbour at Dusk.map", "The Glass Tower.map"};
// "Сонная гавань" (Sleepy Harbour)
constexpr wchar_t kCyrillicMapName[] = L"\u0421\u043E\u043D\u043D\u0430\u044F \u0433\u0430\u0432\u0430\u043D\u044C.map";

std::string EnvironmentFolder(const char* name) {
    char value[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH + 1);
    return length == 0 || length > MAX_PATH ? std::string() : std::string(value, length);
}

std::string TemporaryFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH + 1, path);
    std::string folder(path, length <= MAX_PATH ? length : 0);
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

// The editor keeps more than MAP; the other lines must survive a rewrite.
std::string FirstEditorIni(const ClientFolders& folders) {
    return "[Editor]\r\n"
           "WindowWidth=800\r\n"
           "WindowHeight=600\r\n"
           "GridSnap=1\r\n"
           "MAP=" + folders.SampleMaps().front() + "\r\n"
           "LastTool=Brush\r\n"
           "Recent1=" + folders.SampleMaps().back() + "\r\n";
}

std::string SampleMapText(const std::string& name) {
    return "VELDARA DREAM 1\r\nname=" + name.substr(0, name.size() - 4) + "\r\nsize=16x16\r\n";
}

bool WriteNewFile(const fs::path& path, const std::string& bytes) {
    if (fs::exists(path)) return true;
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace

std::vector<std::string> ClientFolders::SampleMaps() const {
    std::vector<std::string> paths;
    for (const char* name : kSampleMapNames) paths.push_back(maps + "\\" + name);
    return paths;
}

std::wstring ClientFolders::CyrillicSampleMap() const { return (fs::path(maps) / kCyrillicMapName).wstring(); }

ClientFolders FoldersUnder(const std::string& root) {
    return {root, root + "\\Veldara", root + "\\Veldara\\Data", root + "\\Kessrig documents",
            root + "\\My Veldara Dreams and Other Maps"};
}

std::string DefaultClientRoot() {
    std::string base = EnvironmentFolder("LOCALAPPDATA");
    if (base.empty()) base = TemporaryFolder();
    return base + "\\Veldara stand-in";
}

std::string NewTemporaryRoot() {
    const std::string base = TemporaryFolder() + "\\veldara-session-" + std::to_string(GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = base + "-" + std::to_string(attempt);
        if (CreateDirectoryA(path.c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return {};
}

bool HasEditorIni(const ClientFolders& folders) {
    return GetFileAttributesA(folders.EditorIni().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string CreateMissing(const ClientFolders& folders) {
    for (const std::string* folder : {&folders.program, &folders.data, &folders.moduleDocs, &folders.maps}) {
        std::error_code error;
        fs::create_directories(*folder, error);
        if (error) return "cannot create " + *folder + ": " + error.message();
    }
    const std::vector<std::string> maps = folders.SampleMaps();
    for (size_t i = 0; i < maps.size(); ++i) {
        if (!WriteNewFile(maps[i], SampleMapText(kSampleMapNames[i]))) return "cannot write " + maps[i];
    }
    if (!WriteNewFile(folders.CyrillicSampleMap(), SampleMapText("Sleepy Harbour.map")))
        return "cannot write the Cyrillic sample map in " + folders.maps;
    if (!WriteNewFile(folders.EditorIni(), FirstEditorIni(folders))) return "cannot write " + folders.EditorIni();
    return {};
}

void RemoveFolderTree(const std::string& root) {
    // The client's current folder is in there, and would stay behind.
    SetCurrentDirectoryA(TemporaryFolder().c_str());
    std::error_code ignored;
    fs::remove_all(root, ignored);
}
