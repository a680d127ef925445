#include "file_detail.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <vector>

namespace zolehead::serve {

std::string FileDetail::reason() const {
    if (read_failed) return "read error: " + std::generic_category().message(system_error);
    return DescribeRefusal(refusal, system_error);
}

FileDetail ReadFileDetail(const ServedRoots& roots, const std::string& path) {
    FileDetail detail;
    ServedRoots::Resolved file = roots.open_for_reading(path);
    if (file.refusal != PathRefusal::NONE) {
        detail.refusal = file.refusal;
        detail.system_error = file.system_error;
        return detail;
    }
    std::vector<std::uint8_t> block(64 * 1024);
    for (;;) {
        const ssize_t n = read(file.fd.get(), block.data(), block.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            detail.read_failed = true;
            detail.system_error = errno;
            break;
        }
        if (n == 0) break;
        detail.size += static_cast<std::uint64_t>(n);
        if (!detail.lines.feed({block.data(), static_cast<std::size_t>(n)})) break;
    }
    detail.lines.finish();
    return detail;
}

}  // namespace zolehead::serve
