#include "fake_host.h"

#include <windows.h>

#include "host/kessrig.h"
#include "module/state.h"
#include "path_forms.h"

namespace {

const char* Answer(const std::optional<std::string>& folder) { return folder ? folder->c_str() : nullptr; }

}  // namespace

FakeFramework& Fake() {
    static FakeFramework framework;
    return framework;
}

void ModuleTest::SetUp() {
    g_state = ModuleState{};
    Fake() = FakeFramework{};
    savedFolder_ = CurrentFolder();
}

void ModuleTest::TearDown() {
    SetCurrentDirectoryA(savedFolder_.c_str());
    g_state = ModuleState{};
}

std::vector<std::string> ModuleTest::TakeSpoken() {
    std::vector<std::string> spoken;
    spoken.swap(Fake().spoken);
    return spoken;
}

extern "C" {

void KS_CALL ks_speak(const char* text) { Fake().spoken.emplace_back(text); }

const char* KS_CALL ks_clroot() {
    Fake().serviceCalls.push_back("clroot");
    return Answer(Fake().clientRoot);
}

const char* KS_CALL ks_cldataroot() {
    Fake().serviceCalls.push_back("cldataroot");
    return Answer(Fake().clientDataRoot);
}

const char* KS_CALL ks_moddocroot(uint32_t moduleId) {
    Fake().serviceCalls.push_back("moddocroot(" + std::to_string(moduleId) + ")");
    return Answer(Fake().moduleDocRoot);
}

}  // extern "C"
