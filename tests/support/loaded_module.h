// The built Tarnwick.dll, loaded into the stand-in framework for one test.
#pragma once

#include <string>
#include <vector>

#include "standin/waits.h"
#include "standin_host.h"

// The folder of the running test program, where the build puts every binary.
std::string BinaryFolder();

// The Tarnwick.dll under test: GCC's, the one that ships, beside the program;
// with TARNWICK_DLL_COMPILER=clang, clang's build in clang\.
std::string ModulePath();

class LoadedModule {
public:
    LoadedModule();
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const KsModule* operator->() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }
    std::vector<std::string> TakeSpoken() const;

private:
    const KsModule* module_;
};
