#include "archive_path.hpp"

namespace zolehead::collection {

std::string JoinArchivePath(std::string_view archive, std::string_view entry) {
    std::string path;
    path.reserve(archive.size() + kArchiveSeparator.size() + entry.size());
    path.append(archive).append(kArchiveSeparator).append(entry);
    return path;
}

std::optional<ArchivePathParts> SplitArchivePath(std::string_view path,
                                                 const std::function<bool(std::string_view archive)>& names_regular_file) {
    for (std::size_t at = path.find(kArchiveSeparator); at != std::string_view::npos;
         at = path.find(kArchiveSeparator, at + 1)) {
        const std::string_view archive = path.substr(0, at);
        const std::string_view entry = path.substr(at + kArchiveSeparator.size());
        if (archive.empty() || entry.empty()) continue;
        if (names_regular_file(archive)) return ArchivePathParts{archive, entry};
    }
    return std::nullopt;
}

}  // namespace zolehead::collection
