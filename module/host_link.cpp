#include "host_link.h"

#include <windows.h>

#include <exception>

#include "../host/kessrig.h"
#include "state.h"

// The image base of this library, for its own resources; works without a DllMain.
extern "C" IMAGE_DOS_HEADER __ImageBase;

ModuleState g_state;

void Speak(const std::string& line) { ks_speak(line.c_str()); }

std::string LoadText(unsigned id) {
    // The names in the table are short; anything longer is a broken build.
    constexpr int kTextBufferSize = 256;
    char buffer[kTextBufferSize] = {};
    const int length = LoadStringA(reinterpret_cast<HINSTANCE>(&__ImageBase), id, buffer, kTextBufferSize);
    return std::string(buffer, length > 0 ? length : 0);
}

void ReportCurrentException() noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        try {
            Speak(std::string("Tarnwick: ") + error.what());
            return;
        } catch (...) {
        }
    } catch (...) {
    }
    // Out of memory or something stranger: a fixed line needs no allocation.
    ks_speak("Tarnwick: Unexpected error.");
}
