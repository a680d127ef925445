#include "output_sink.hpp"

#include <unistd.h>

#include <cerrno>

namespace zolehead_cli {

void OutputSink::write_all(std::string_view bytes) {
    while (!bytes.empty() && error_ == 0) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace zolehead_cli
