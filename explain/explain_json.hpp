// The JSON of explain and lint: one record per file, the same for the tool's
// --json and --jsonl, the Python module and the web catalog.
//
// explain:
//   {"path": "song.zole",
//    "fields": [{"field": "Title", "label": "曲名",
//                "reads": {"A": {"value": "B", "form": "A"}, "B": null, "both": {"value": "", "form": "A"}},
//                "entries": [{"line": 1, "column": 1, "offset": 0, "form": "A", "name": "曲名",
//                             "value": "A", "value_line": 1, "value_column": 4,
//                             "trimmed": 0, "cut": 0, "control_dropped": 0,
//                             "readers": [{"reader": "A", "outcome": "overwritten",
//                                          "other": {"line": 2, "column": 1, "form": "A"},
//                                          "message": "stored, then overwritten by line 2"}, ...],
//                             "notes": []}, ...],
//                "entries_not_shown": 9800}, ...],                  (only for a field given over 200 times)
//    "end_mark": {"line": 9, "column": 1, "offset": 120},        (only when the file has one)
//    "unclosed_quote": {"line": 3, "column": 8, "offset": 40}}   (only when a value is never closed)
//
// lint:
//   {"path": "song.zole",
//    "warnings": [{"line": 2, "column": 3, "offset": 6, "code": "ascii-colon",
//                  "message": "...", "suggestion": "："}, ...]}
//
// A file that could not be read: {"path": "...", "error": "cannot open: ..."}.
// Text is UTF-8; a value with bytes that are not code page 932 has them as
// U+FFFD and "lossy": true; a path that is not UTF-8 has U+FFFD and its
// bytes in "path_base64". Lines and columns as in text_position.hpp.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "field_story.hpp"
#include "lint_checks.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::explain {

// Members keep the order they are written in, so that "path" comes first.
using Json = nlohmann::ordered_json;

Json StoryJson(std::string_view path, const Story& story, collection::ShiftJisDecoder& decoder);
Json WarningsJson(std::string_view path, const std::vector<Warning>& warnings);
Json ErrorJson(std::string_view path, std::string_view error);

// A record as text: on one line (indent < 0) or indented. Never throws.
std::string DumpJson(const Json& record, int indent = -1);

}  // namespace zolehead::explain
