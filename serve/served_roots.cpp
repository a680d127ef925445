#include "served_roots.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace zolehead::serve {

namespace {

std::optional<std::string> RealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

std::optional<std::string> DescriptorPath(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string target(PATH_MAX, '\0');
    for (;;) {
        const ssize_t n = readlink(link.c_str(), target.data(), target.size());
        if (n < 0) return std::nullopt;
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The folder a path names its file in: "a/b" -> "a", "b" -> ".", "/b" -> "/".
std::string ParentOf(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    const std::size_t slash = path.rfind('/', end - 1);
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string DescribeRefusal(PathRefusal refusal, int system_error) {
    switch (refusal) {
    case PathRefusal::NONE: return {};
    case PathRefusal::OUTSIDE: return "not inside the served folders";
    case PathRefusal::NOT_FOUND: return "no such file";
    case PathRefusal::NOT_REGULAR: return "not a regular file";
    case PathRefusal::CANNOT_OPEN: return "cannot open: " + std::generic_category().message(system_error);
    }
    return "refused";
}

std::optional<ServedRoots> ServedRoots::Resolve(const std::vector<std::string>& roots, std::string& error) {
    ServedRoots served;
    for (const std::string& root : roots) {
        std::optional<std::string> real = root.find('\0') == std::string::npos ? RealPath(root) : std::nullopt;
        if (!real) {
            error = root + ": " + std::generic_category().message(errno == 0 ? ENOENT : errno);
            return std::nullopt;
        }
        served.real_.push_back(std::move(*real));
    }
    return served;
}

bool ServedRoots::contains(std::string_view real_path) const noexcept {
    for (const std::string& root : real_) {
        if (root == "/") return !real_path.empty() && real_path.front() == '/';
        if (real_path.size() >= root.size() && real_path.substr(0, root.size()) == root &&
            (real_path.size() == root.size() || real_path[root.size()] == '/')) {
            return true;
        }
    }
    return false;
}

std::string ServedRoots::Resolved::reopen_path() const { return "/proc/self/fd/" + std::to_string(fd.get()); }

ServedRoots::Resolved ServedRoots::resolve(const std::string& path) const {
    Resolved result;
    if (path.empty() || path.find('\0') != std::string::npos) {
        result.refusal = PathRefusal::OUTSIDE;
        return result;
    }
    // O_PATH follows links and reaches any kind of file without opening it
    // for I/O: no side effect, no wait on a FIFO.
    UniqueFd fd(open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        const std::optional<std::string> parent = RealPath(ParentOf(path));
        if (!parent || !contains(*parent)) {
            result.refusal = PathRefusal::OUTSIDE;
        } else if (error == ENOENT || error == ENOTDIR) {
            result.refusal = PathRefusal::NOT_FOUND;
        } else {
            result.refusal = PathRefusal::CANNOT_OPEN;
            result.system_error = error;
        }
        return result;
    }
    std::optional<std::string> real = DescriptorPath(fd.get());
    if (!real || !contains(*real)) {
        result.refusal = PathRefusal::OUTSIDE;
        return result;
    }
    struct stat st;
    if (fstat(fd.get(), &st) != 0) {
        result.refusal = PathRefusal::CANNOT_OPEN;
        result.system_error = errno;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.refusal = PathRefusal::NOT_REGULAR;
        return result;
    }
    result.fd = std::move(fd);
    result.real_path = std::move(*real);
    return result;
}

ServedRoots::Resolved ServedRoots::open_for_reading(const std::string& path) const {
    Resolved result = resolve(path);
    if (result.refusal != PathRefusal::NONE) return result;
    UniqueFd readable(open(result.reopen_path().c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!readable) {
        result.refusal = PathRefusal::CANNOT_OPEN;
        result.system_error = errno;
        result.fd.reset();
        return result;
    }
    result.fd = std::move(readable);
    return result;
}

}  // namespace zolehead::serve
