// Waits for what the stand-in client's scripted session and the tests wait
// on: they end as soon as it happens, and their limits hold on a machine
// several times slower, stretched by TARNWICK_TIME_SCALE, which the emulated
// machine sets (as are pauses that prove something did not happen).
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <functional>

inline int TimeScale() {
    const char* scale = std::getenv("TARNWICK_TIME_SCALE");
    return scale && std::atoi(scale) > 1 ? std::atoi(scale) : 1;
}

template <class Duration>
Duration Scaled(Duration duration) {
    return duration * TimeScale();
}

// Polls, without a message loop, until the condition holds (true) or the
// stretched limit passes (false).
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    for (const auto end = std::chrono::steady_clock::now() + Scaled(limit); !condition(); Sleep(10)) {
        if (std::chrono::steady_clock::now() >= end) return false;
    }
    return true;
}
