#include "temp_folder.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "module/system_path.h"

namespace fs = std::filesystem;

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

bool RunOnLinux(std::vector<const char*> arguments) {
    using Spawn = LONG(__cdecl*)(char* const* arguments, int wait);
    static const auto spawn = reinterpret_cast<Spawn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
    arguments.push_back(nullptr);
    return spawn && spawn(const_cast<char* const*>(arguments.data()), TRUE) == 0;
}

TempFolder::TempFolder() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::string(base) + "tarnwick-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + path_);
    }
}

TempFolder::~TempFolder() {
    // Tests may leave read-only or hidden files; make everything removable first.
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(path_, error))
        SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(path_, error);
}

void TempFolder::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream file(PathOf(name), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + PathOf(name));
}

std::string TempFolder::Read(const std::string& name) const {
    std::ifstream file(PathOf(name), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool TempFolder::Exists(const std::string& name) const {
    return GetFileAttributesA(PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string TempFolder::Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const auto& name : names) listing += (listing.empty() ? "" : " ") + name;
    return listing;
}

bool RunOnLinuxIn(const std::string& folder, std::string command, const std::function<bool()>& test) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process))
        return false;  // not Wine
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 100 && !test(); ++i) Sleep(50);
    return test();
}
