// One file as the detail panel shows it: read now, from disk, through
// ServedRoots, with its header lines.
#pragma once

#include <cstdint>
#include <string>

#include "header_lines.hpp"
#include "served_roots.hpp"

namespace zolehead::serve {

struct FileDetail {
    PathRefusal refusal = PathRefusal::NONE;
    int system_error = 0;     // with CANNOT_OPEN, or a read that failed part-way
    bool read_failed = false;  // the system failed part-way through
    std::uint64_t size = 0;   // bytes read
    HeaderLineReader lines;   // finished; its BOTH header is what the file reads as

    bool ok() const noexcept { return refusal == PathRefusal::NONE && !read_failed; }
    // Why not ok(), in a few English words.
    std::string reason() const;
};

// Reads `path` if it resolves to a regular file inside the roots.
FileDetail ReadFileDetail(const ServedRoots& roots, const std::string& path);

}  // namespace zolehead::serve
