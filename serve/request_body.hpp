// The JSON bodies the catalog accepts, checked member by member: a body that
// is not JSON, not an object, has a member of the wrong type or one not
// listed here gives a message for a 400, never an exception.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog_query.hpp"
#include "editor.hpp"

namespace zolehead::serve {

inline constexpr std::size_t kMaxFilterBytes = 1024;
inline constexpr std::uint32_t kMaxRowsPerRequest = 1000;

// POST /api/rows: {"filter": "...", "sort": "Title" | "path" | null,
// "descending": false, "offset": 0, "limit": 100, "ids": false}; every
// member optional.
struct RowsRequest {
    ViewQuery view;
    std::uint64_t offset = 0;
    std::uint32_t limit = 100;
    bool ids = false;  // also every row number of the view, in order ("ids": true)
};

// POST /api/file: {"path": "..."} or {"row": N, "version": V}, the second for
// a file whose name is not UTF-8 and so cannot be sent back as JSON text.
struct FileRequest {
    std::optional<std::string> path;
    std::uint64_t row = 0;
    std::uint64_t version = 0;
};

// POST /api/edit:
//   {"version": V,                       (needed when an item names rows)
//    "items": [{"path": "..."} | {"row": N} | {"rows": [N, ...]},
//              plus "set": {"Title": "...", ...}, "remove": ["Comment", ...],
//              "form": "A" | "B" | "auto"]}
// Fields by keyword in any case or by Japanese label; at least one change,
// each field at most once. Values go to the editor as they are: it is the
// one that refuses what cannot be written (and says why, per file).
inline constexpr std::size_t kMaxEditFiles = 1000;     // files one request may name, over all items
inline constexpr std::size_t kMaxValueBytes = 4096;    // far above the 127 bytes a field holds

struct EditTarget {
    std::optional<std::string> path;  // or:
    std::uint32_t row = 0;            // a row of the catalog's `version`
};

struct EditItem {
    std::vector<EditTarget> targets;
    std::vector<edit::FieldChangeRequest> changes;
    edit::InsertForm form = edit::InsertForm::AUTO;
};

struct EditRequest {
    std::optional<std::uint64_t> version;
    bool names_rows = false;
    std::vector<EditItem> items;
    std::size_t files = 0;  // targets over all items
};

template <class T>
struct ParsedBody {
    std::optional<T> value;
    std::string error;  // set when value is empty
};

ParsedBody<RowsRequest> ParseRowsRequest(std::string_view body);
ParsedBody<FileRequest> ParseFileRequest(std::string_view body);
ParsedBody<EditRequest> ParseEditRequest(std::string_view body);
// POST /api/rescan: an empty body or {}.
ParsedBody<bool> ParseEmptyRequest(std::string_view body);

// The column a sort names: "path", or a field's keyword in any case; -1 for
// a name that is neither.
int ColumnByName(std::string_view name) noexcept;

}  // namespace zolehead::serve
