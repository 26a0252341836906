// Paths that Windows writes into a buffer of ours: one size for all of them
// and one reading of the answer.
#pragma once

#include <windows.h>

#include <string>

constexpr DWORD kPathBufferSize = 2049;  // 2048 characters and the NUL

// The path that a call filling a buffer of kPathBufferSize answered; empty
// when the call failed or the path would not fit.
template <class Char, class PathCall>
std::basic_string<Char> PathFromSystem(PathCall call) {
    Char buffer[kPathBufferSize] = {};
    const DWORD length = call(buffer, kPathBufferSize);
    return std::basic_string<Char>(buffer, length > 0 && length < kPathBufferSize ? length : 0);
}
