#include "transcript.h"

void Transcript::Add(const std::string& line) {
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back(line);
    }
    added_.notify_all();
}

std::vector<std::string> Transcript::Lines() const {
    const std::lock_guard<std::mutex> guard(mutex_);
    return lines_;
}

size_t Transcript::Count() const {
    const std::lock_guard<std::mutex> guard(mutex_);
    return lines_.size();
}

std::optional<size_t> Transcript::WaitFor(size_t from, const std::function<bool(const std::string&)>& matches,
                                          std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (size_t next = from;;) {
        for (; next < lines_.size(); ++next) {
            if (matches(lines_[next])) return next;
        }
        // A line that came with the time-out is still looked at once.
        if (added_.wait_until(lock, deadline) == std::cv_status::timeout && next == lines_.size()) return std::nullopt;
    }
}
