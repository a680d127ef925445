#include "whole_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "entry_reader.hpp"

namespace zolehead::collection {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return fd_; }

private:
    int fd_;
};

bool Fail(zolehead::ReadStatus status, int system_error, std::vector<std::uint8_t>& bytes, std::string& error,
          int* errno_out) {
    bytes.clear();
    error = DescribeFailure({status, system_error});
    if (errno_out != nullptr) *errno_out = system_error;
    return false;
}

}  // namespace

bool ReadWholeFile(const WalkEntry& entry, std::uint64_t limit, std::vector<std::uint8_t>& bytes, std::string& error,
                   int* system_error) {
    bytes.clear();
    if (system_error != nullptr) *system_error = entry.system_error;
    error = entry.failure;
    if (!error.empty()) return false;
    if (system_error != nullptr) *system_error = 0;

    // As the core's reader: O_NONBLOCK so that a FIFO without a writer cannot
    // hang open(), and the type checked before a byte is read.
    const Descriptor file(open(entry.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) return Fail(zolehead::ReadStatus::CANNOT_OPEN, errno, bytes, error, system_error);
    struct stat st;
    if (fstat(file.get(), &st) != 0) return Fail(zolehead::ReadStatus::CANNOT_OPEN, errno, bytes, error, system_error);
    if (!S_ISREG(st.st_mode)) {
        return Fail(zolehead::ReadStatus::NOT_REGULAR_FILE, S_ISDIR(st.st_mode) ? EISDIR : 0, bytes, error,
                    system_error);
    }
    const auto too_large = [&] {
        bytes.clear();
        error = "too large: more than " + std::to_string(limit) + " bytes";
        return false;
    };
    if (static_cast<std::uint64_t>(st.st_size) > limit) return too_large();

    // The size is a hint only: a file that grows while it is read is read to
    // its end, up to the limit.
    bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have > limit) return too_large();
            bytes.resize(have + have / 2 + 4096);
        }
        const ssize_t got = read(file.get(), bytes.data() + have, bytes.size() - have);
        if (got < 0) {
            if (errno == EINTR) continue;
            return Fail(zolehead::ReadStatus::READ_ERROR, errno, bytes, error, system_error);
        }
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }
    if (have > limit) return too_large();
    bytes.resize(have);
    return true;
}

}  // namespace zolehead::collection
