// The JSON the catalog's endpoints answer with. Paths that are not UTF-8 are
// sent with U+FFFD in place of the bad bytes and "path_lossy": true; values
// the decoder could not convert carry a lossy mark too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog.hpp"
#include "catalog_query.hpp"
#include "catalog_scan.hpp"
#include "file_detail.hpp"

namespace zolehead::serve {

// {"error": "..."}
std::string ErrorJson(const std::string& message);

struct StatusFacts {
    std::uint64_t version = 0;
    const Catalog* catalog = nullptr;
    ScanStatus scan;
    std::vector<std::string> roots;  // as given on the command line
};

// {"version": V, "files": N, "errors": E, "memory_bytes": B,
//  "scan": {"running": bool, "read": n, "failed": n, "skipped": n, "seconds": s,
//           "notices": [...], "finished_at_ms": Unix ms, "failure": "..."?},
//  "roots": [...], "fields": [{"keyword": "Title", "label": "曲名"}, ...],
//  "editable": false}
std::string StatusJson(const StatusFacts& facts);

// {"version": V, "total": N, "matched": M, "offset": O, "rows": [
//   {"row": r, "path": "...", "path_lossy": true?, "error": "..."?,
//    "fields": [null | ["value", "A"|"B"] | ["value", "A"|"B", true], ... 16]}]}
std::string RowsJson(const Catalog& catalog, std::uint64_t version, const RowList& rows, std::uint64_t offset,
                     std::uint32_t limit);

// {"path": "...", "size": bytes,
//  "fields": [{"keyword": "Title", "label": "曲名", "value": "..." | null,
//              "form": "A" | "B" | null, "lossy": bool}, ... 16],
//  "lines": [{"number": n, "text": "...", "lossy": bool, "cut": bool,
//             "fields": ["Title", ...]}],
//  "line_count": n, "end_mark_line": n | null, "lines_dropped": bool}
// Throws std::system_error when the C library cannot convert from CP932.
std::string DetailJson(const std::string& path, const FileDetail& detail);

}  // namespace zolehead::serve
