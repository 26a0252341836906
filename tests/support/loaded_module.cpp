#include "loaded_module.h"

#include <cstdlib>

std::string BinaryFolder() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string ModulePath() {
    const char* compiler = std::getenv("TARNWICK_DLL_COMPILER");
    const std::string folder = BinaryFolder();
    if (!compiler || !*compiler || std::string(compiler) == "gcc") return folder + "\\Tarnwick.dll";
    return folder + "\\" + compiler + "\\Tarnwick.dll";
}

LoadedModule::LoadedModule() {
    ksh_clear_spoken();
    ksh_clear_service_log();
    module_ = ksh_load_module(ModulePath().c_str());
}

LoadedModule::~LoadedModule() { ksh_unload_module(); }

std::vector<std::string> LoadedModule::TakeSpoken() const {
    std::vector<std::string> lines;
    for (int i = 0; i < ksh_spoken_count(); ++i) lines.emplace_back(ksh_spoken_line(i));
    ksh_clear_spoken();
    return lines;
}
