// The JSON bodies the catalog accepts, checked member by member: a body that
// is not JSON, not an object, has a member of the wrong type or one not
// listed here gives a message for a 400, never an exception.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalog_query.hpp"

namespace zolehead::serve {

inline constexpr std::size_t kMaxFilterBytes = 1024;
inline constexpr std::uint32_t kMaxRowsPerRequest = 1000;

// POST /api/rows: {"filter": "...", "sort": "Title" | "path" | null,
// "descending": false, "offset": 0, "limit": 100}; every member optional.
struct RowsRequest {
    ViewQuery view;
    std::uint64_t offset = 0;
    std::uint32_t limit = 100;
};

// POST /api/file: {"path": "..."} or {"row": N, "version": V}, the second for
// a file whose name is not UTF-8 and so cannot be sent back as JSON text.
struct FileRequest {
    std::optional<std::string> path;
    std::uint64_t row = 0;
    std::uint64_t version = 0;
};

template <class T>
struct ParsedBody {
    std::optional<T> value;
    std::string error;  // set when value is empty
};

ParsedBody<RowsRequest> ParseRowsRequest(std::string_view body);
ParsedBody<FileRequest> ParseFileRequest(std::string_view body);
// POST /api/rescan: an empty body or {}.
ParsedBody<bool> ParseEmptyRequest(std::string_view body);

// The column a sort names: "path", or a field's keyword in any case; -1 for
// a name that is neither.
int ColumnByName(std::string_view name) noexcept;

}  // namespace zolehead::serve
