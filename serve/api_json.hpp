// The JSON the catalog's endpoints answer with. Paths that are not UTF-8 are
// sent with U+FFFD in place of the bad bytes and "path_lossy": true; values
// the decoder could not convert carry a lossy mark too.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalog.hpp"
#include "catalog_query.hpp"
#include "catalog_edit.hpp"
#include "catalog_scan.hpp"
#include "catalog_store.hpp"
#include "file_detail.hpp"

namespace zolehead::serve {

// {"error": "..."}
std::string ErrorJson(const std::string& message);

struct StatusFacts {
    std::uint64_t version = 0;
    std::uint64_t generation = 0;
    const Catalog* catalog = nullptr;
    bool editable = false;  // not --read-only
    bool archives = false;  // entries of archives are rows
    ScanStatus scan;
    std::vector<std::string> roots;  // as given on the command line
};

// {"version": V, "generation": G, "files": N, "errors": E, "memory_bytes": B,
//  "scan": {"running": bool, "read": n, "failed": n, "skipped": n, "seconds": s,
//           "notices": [...], "finished_at_ms": Unix ms, "failure": "..."?},
//  "roots": [...], "fields": [{"keyword": "Title", "label": "曲名"}, ...],
//  "editable": bool, "archives": bool}
std::string StatusJson(const StatusFacts& facts);

// {"version": V, "generation": G, "total": N, "matched": M, "offset": O,
//  "rows": [ROW, ...], "ids": [r, ...]?}, where ROW is
//   {"row": r, "path": "...", "path_lossy": true?, "error": "..."?, "archive": true?,
//    "fields": [null | ["value", "A"|"B"] | ["value", "A"|"B", true], ... 16]}
// and "ids" (with `ids`) every row of the view in order.
std::string RowsJson(const Catalog& catalog, const CatalogStore::Snapshot& snapshot, const RowList& rows,
                     std::uint64_t offset, std::uint32_t limit, bool ids);

// {"version": V, "generation": G,
//  "counts": {"edited": n, "unchanged": n, "refused": n, "failed": n},
//  "results": [{"path": "...", "row": r?, "status": "edited" | "unchanged" | "refused" | "failed",
//               "problem": "bad-value" | ...?, "reason": "..."?, "field": "Title"?,
//               "fields": [{"field": "Title", "action": "set" | "remove", "changed": bool,
//                           "old": null | ["value", "A"|"B", true?], "new": ...}],
//               "now": ROW?}, ...]}
// "field" is the field a reason names; "now" the file's row as it reads
// after the attempt (absent for a path refused before the editor).
std::string EditJson(const CatalogStore::Snapshot& snapshot, std::span<const FileEditOutcome> outcomes);

// {"path": "...", "size": bytes,
//  "fields": [{"keyword": "Title", "label": "曲名", "value": "..." | null,
//              "form": "A" | "B" | null, "lossy": bool}, ... 16],
//  "lines": [{"number": n, "text": "...", "lossy": bool, "cut": bool,
//             "fields": ["Title", ...]}],
//  "line_count": n, "end_mark_line": n | null, "lines_dropped": bool,
//  "archive": bool,
//  "explain": {...}?, "lint": {...}?}
// "explain" and "lint" are the records of explain_json.hpp; both absent for
// a file too large to explain ("explain_note" says why).
// Throws std::system_error when the C library cannot convert from CP932.
std::string DetailJson(const std::string& path, const FileDetail& detail);

}  // namespace zolehead::serve
