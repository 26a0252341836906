#include "module_under_test.h"

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
