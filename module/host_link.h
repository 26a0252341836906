// The module's side of the framework link: lines to the player, texts of the
// string table, and the boundary that keeps errors inside the callbacks.
#pragma once

#include <string>
#include <utility>

void Speak(const std::string& line);

// A text of the library's string table (file and key names, command words).
std::string LoadText(unsigned id);

// Tells the player about an error that would otherwise leave a callback.
void ReportCurrentException() noexcept;

// Runs an operation so that its errors reach the player as one chat line
// instead of unwinding into the framework.
template <class Operation>
void RunReported(Operation&& operation) noexcept {
    try {
        std::forward<Operation>(operation)();
    } catch (...) {
        ReportCurrentException();
    }
}
