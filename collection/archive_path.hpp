// The notation for a file inside an archive: ARCHIVE!/ENTRY, such as
// songs.lzh!/folder/song.zol. ARCHIVE is the archive's path as walked and
// ENTRY the entry's name as the archive stores it, so either part may itself
// hold "!/". Pure string work: whoever reads a path back decides, by asking
// the file system, where the archive ends.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zolehead::collection {

inline constexpr std::string_view kArchiveSeparator = "!/";

struct ArchivePathParts {
    std::string_view archive;  // never empty
    std::string_view entry;    // never empty
};

// archive + "!/" + entry.
std::string JoinArchivePath(std::string_view archive, std::string_view entry);

// Reads `path` as ARCHIVE!/ENTRY. Tries each "!/" from the left and returns
// the first split whose archive part `names_regular_file` accepts; nullopt
// when none does (a path on disk, or no "!/" with text on both sides).
//
// The first accepted split is the only possible one: a regular file has
// nothing below it, so no longer prefix can lead anywhere through it, and an
// entry name holding "!/" stays whole. The one case this cannot tell apart is
// a directory "X!" beside a regular file "X": X!/Y is then taken as entry Y
// of X, so a caller that edits refuses rather than guesses.
//
// Never touches the file system itself: the caller's predicate does (for
// example stat() and S_ISREG on a std::string copy of its argument).
std::optional<ArchivePathParts> SplitArchivePath(std::string_view path,
                                                 const std::function<bool(std::string_view archive)>& names_regular_file);

}  // namespace zolehead::collection
