// Buffered writes to a file descriptor: large writes, and a flush whenever
// the tool is about to wait, so a reader of the stream is never kept waiting
// for records that are ready.
#pragma once

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
        } else {
            buffer_ += bytes;
        }
    }

    void flush() {
        write_all(buffer_);
        buffer_.clear();
    }

    // The errno of the first failed write, or 0. Later writes are dropped.
    int error() const noexcept { return error_; }

private:
    void write_all(std::string_view bytes);

    int fd_;
    std::size_t capacity_;
    std::string buffer_;
    int error_ = 0;
};

}  // namespace zolehead_cli
