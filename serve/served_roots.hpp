// The folders (and files) the server was asked to serve: the boundary of
// everything it reads. Roots are resolved once, at start; a path is judged
// by what opening it actually reached (the descriptor's own path, as the
// kernel reports it), so `..`, symbolic links leading out and a link swapped
// between a check and a read are all caught the same way. Linux only
// (/proc/self/fd).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "unique_fd.hpp"

namespace zolehead::serve {

enum class PathRefusal {
    NONE,
    OUTSIDE,      // resolves outside every root, or cannot be judged
    NOT_FOUND,    // inside a root, but no such file
    NOT_REGULAR,  // a directory, FIFO, device or socket
    CANNOT_OPEN,  // inside a root, but the system refuses (permission, loop)
};

// A short English reason for a refusal.
std::string DescribeRefusal(PathRefusal refusal, int system_error);

class ServedRoots {
public:
    // Resolves each root with realpath. Returns nullopt and sets `error`
    // ("ROOT: No such file or directory") when one cannot be resolved.
    static std::optional<ServedRoots> Resolve(const std::vector<std::string>& roots, std::string& error);

    // Whether a resolved path is a root or lies under one.
    bool contains(std::string_view real_path) const noexcept;
    const std::vector<std::string>& real_roots() const noexcept { return real_; }

    struct Resolved {
        UniqueFd fd;  // an O_PATH descriptor of the regular file; empty on refusal
        std::string real_path;
        PathRefusal refusal = PathRefusal::NONE;
        int system_error = 0;
        // "/proc/self/fd/N": opening it opens exactly the file judged.
        std::string reopen_path() const;
    };

    // Resolves `path` (relative to the working directory, as the walk
    // produced it) to a regular file inside a root. Opens nothing for
    // reading and never blocks: FIFOs and devices are judged, not opened.
    // A missing path is NOT_FOUND only when its folder resolves inside a
    // root, so that refusals say nothing about files outside.
    Resolved resolve(const std::string& path) const;

    // resolve(), then opens the file for reading. On success `fd` reads.
    Resolved open_for_reading(const std::string& path) const;

private:
    std::vector<std::string> real_;
};

}  // namespace zolehead::serve
