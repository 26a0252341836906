// Every line of the chat pane, in order, for the scripted session's driver
// thread to wait on while the window's thread adds to it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class Transcript {
public:
    void Add(const std::string& line);
    std::vector<std::string> Lines() const;
    size_t Count() const;

    // The index of the first line at or after `from` that matches, waiting
    // for it at most `timeout`; nothing when none came.
    std::optional<size_t> WaitFor(size_t from, const std::function<bool(const std::string&)>& matches,
                                  std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable added_;
    std::vector<std::string> lines_;
};
