#include "host_link.h"

#include <windows.h>

#include <new>
#include <stdexcept>

#include "../host/kessrig.h"
#include "file_error.h"
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
    // Only the file layer's own texts reach the player; the C++ library's
    // (basic_string::_M_create, std::bad_alloc, ...) would mean nothing there.
    const char* fixedLine = "Tarnwick: Unexpected error.";
    try {
        try {
            throw;
        } catch (const FileError& error) {
            Speak(std::string("Tarnwick: ") + error.what());
            return;
        }
    } catch (const std::bad_alloc&) {
        fixedLine = "Tarnwick: Out of memory.";
    } catch (const std::length_error&) {
        // A size past what a string can hold. The DLL's own string code
        // raises bad_alloc for it instead (module/runtime.cpp).
        fixedLine = "Tarnwick: Out of memory.";
    } catch (...) {
    }
    ks_speak(fixedLine);  // a fixed line needs no allocation
}
