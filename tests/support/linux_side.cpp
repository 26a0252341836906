#include "linux_side.h"

#include <windows.h>

bool RunOnLinux(std::vector<const char*> arguments) {
    using Spawn = LONG(__cdecl*)(char* const* arguments, int wait);
    static const auto spawn = reinterpret_cast<Spawn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
    arguments.push_back(nullptr);
    return spawn && spawn(const_cast<char* const*>(arguments.data()), TRUE) == 0;
}

std::string UnixPathOf(const std::string& path) {
    using UnixName = char*(__cdecl*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH + 1);
    char* const name = unixName ? unixName(wide) : nullptr;
    if (!name) return {};
    const std::string text(name);
    HeapFree(GetProcessHeap(), 0, name);  // Wine's allocation for the caller
    return text;
}

// The link's name is resolved in its folder, not the current one; its target
// stays as given, relative to the link.
LinuxLink::LinuxLink(const TempFolder& folder, const std::string& target, const std::string& name)
    : link_(UnixPathOf(folder.Path()) + "/" + name),
      made_(link_.size() > name.size() + 1 && RunOnLinux({"/bin/ln", "-s", target.c_str(), link_.c_str()})) {}

LinuxLink::~LinuxLink() {
    if (made_) RunOnLinux({"/bin/rm", link_.c_str()});
}
