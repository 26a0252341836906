// A module loaded into the stand-in framework while the owner lives: the
// stand-in client's and the tests' way to hold one.
#pragma once

#include <string>
#include <vector>

#include "kessrig/standin_host.h"

class LoadedModule {
public:
    // The framework's record of spoken lines and service calls starts empty.
    explicit LoadedModule(const std::string& path) {
        ksh_clear_spoken();
        ksh_clear_service_log();
        module_ = ksh_load_module(path.c_str());
    }
    ~LoadedModule() {
        if (module_) ksh_unload_module();
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const KsModule* Get() const { return module_; }
    const KsModule* operator->() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }

    // The lines spoken since the load or the last call, taken.
    std::vector<std::string> TakeSpoken() const {
        std::vector<std::string> lines;
        for (int i = 0; i < ksh_spoken_count(); ++i) lines.emplace_back(ksh_spoken_line(i));
        ksh_clear_spoken();
        return lines;
    }

private:
    const KsModule* module_ = nullptr;
};
