// Buffered writes to a file descriptor: large writes, yet a reader of the
// stream never waits long for records that are ready.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zolehead_cli {

class OutputSink {
public:
    explicit OutputSink(int fd, std::size_t capacity = 64 * 1024) : fd_(fd), capacity_(capacity) {
        buffer_.reserve(capacity);
    }

    void write(std::string_view bytes) {
        if (buffer_.size() + bytes.size() > capacity_) flush();
        if (bytes.size() >= capacity_) {
            write_all(bytes);
            return;
        }
        if (buffer_.empty()) first_buffered_ = Clock::now();
        buffer_ += bytes;
    }

    void flush() {
        write_all(buffer_);
        buffer_.clear();
    }

    // Flushes when the oldest buffered byte has waited a while.
    void flush_if_stale() {
        if (!buffer_.empty() && Clock::now() - first_buffered_ > kStaleAfter) flush();
    }

    // The errno of the first failed write, or 0. Later writes are dropped.
    int error() const noexcept { return error_; }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kStaleAfter{100};

    void write_all(std::string_view bytes);

    int fd_;
    std::size_t capacity_;
    std::string buffer_;
    Clock::time_point first_buffered_;
    int error_ = 0;
};

}  // namespace zolehead_cli
