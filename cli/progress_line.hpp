// A one-line count of the files done, redrawn on stderr. It appears only
// once a run has lasted a moment, and gets out of the way of messages.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace zolehead_cli {

class ProgressLine {
public:
    explicit ProgressLine(bool enabled) : enabled_(enabled), start_(Clock::now()), last_(start_) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Cheap when nothing is due; draws at most a few times a second.
    void update(std::uint64_t done, std::uint64_t failed);
    // Erases the line, if drawn, before something else goes to stderr.
    void clear();
    // Writes one message line on stderr.
    void message(std::string_view line);

private:
    using Clock = std::chrono::steady_clock;

    bool enabled_;
    bool drawn_ = false;
    Clock::time_point start_;
    Clock::time_point last_;
};

}  // namespace zolehead_cli
