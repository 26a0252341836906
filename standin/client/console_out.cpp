#include "console_out.h"

#include <windows.h>

#include <mutex>

namespace {

// A window program gets no standard output of its own on Windows: borrow the
// parent's console when there is one. Under Wine the shell's output is there.
HANDLE OpenOutput() {
    const HANDLE inherited = GetStdHandle(STD_OUTPUT_HANDLE);
    if (inherited != nullptr && inherited != INVALID_HANDLE_VALUE) return inherited;
    // Attaching sets the standard handles to the console's, owned by the system.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return nullptr;
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

}  // namespace

void PrintOut(std::string_view text) {
    // The session's driver thread prints as well as the window's thread.
    static std::mutex lock;
    static const HANDLE output = OpenOutput();
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    const std::lock_guard<std::mutex> guard(lock);
    DWORD written = 0;
    WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void PrintLine(std::string_view line) {
    PrintOut(line);
    PrintOut("\n");
}
