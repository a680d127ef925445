// One file as the detail panel shows it: read now, from disk, through
// ServedRoots, with its header lines, the story of each field and the lint
// warnings. With archives on, an entry inside an archive (ARCHIVE!/ENTRY) is
// streamed out of the archive, the served-folder check applying to the
// archive itself, through the same code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "explain_json.hpp"
#include "file_explainer.hpp"
#include "header_lines.hpp"
#include "read_settings.hpp"
#include "served_roots.hpp"

namespace zolehead::serve {

struct FileDetail {
    PathRefusal refusal = PathRefusal::NONE;
    int system_error = 0;      // with CANNOT_OPEN, or a read that failed part-way
    bool read_failed = false;  // the system failed part-way through
    std::string entry_error;   // an archive entry that could not be read: why
    bool in_archive = false;   // an entry inside an archive
    std::uint64_t size = 0;    // bytes read
    HeaderLineReader lines;    // finished; its BOTH header is what the file reads as
    // The explain and lint records (explain_json.hpp); absent for a file
    // larger than the explainer takes.
    std::optional<explain::Json> story;
    std::optional<explain::Json> warnings;

    bool ok() const noexcept { return refusal == PathRefusal::NONE && !read_failed && entry_error.empty(); }
    // Why not ok(), in a few English words.
    std::string reason() const;
};

// Reads `path` if it resolves to a regular file inside the roots, or with
// `reading.archives` to an entry of an archive that does; entry names are
// matched as the catalog shows them (UTF-8). Throws std::system_error when
// the C library cannot convert from CP932.
FileDetail ReadFileDetail(const ServedRoots& roots, const std::string& path, const collection::ReadSettings& reading,
                          explain::FileExplainer& explainer);

}  // namespace zolehead::serve
