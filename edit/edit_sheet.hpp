// Reads the edits a person made to the tool's own output: CSV, TSV, JSON or
// JSON Lines in the shape `zolehead --csv` (and the others) writes, after a
// spreadsheet or an editor had it. Tolerant of form: a byte order mark, any
// line ends, columns in any order or added, quoting where a spreadsheet puts
// it, ';' as a CSV separator. Strict about meaning: a cell that is missing is
// "not given", never "empty"; what cannot be read is a problem, never a guess.
// Pure: the text is in memory.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shift_jis_encoder.hpp"
#include "zole_header.hpp"

namespace zolehead::edit {

struct SheetCell {
    std::string text;  // UTF-8 as written; code page 932 bytes when `raw`
    bool raw = false;  // JSON "raw" (base64 of the file's bytes, from --raw)
    // TSV only: a cell that a spreadsheet may have quoted ("a ""b""") also
    // reads as its unquoted text; either matching the file means no change.
    std::optional<std::string> unquoted;
};

struct SheetRow {
    std::uint64_t line = 0;  // the line the record starts on, from 1; in a JSON array, its number
    std::string path;
    // TSV only: the path as written, when undoing \t \n \r changed it (a
    // path may hold a real backslash before t, n or r).
    std::optional<std::string> literal_path;
    bool had_error = false;  // the error column or member was not empty
    std::array<std::optional<SheetCell>, kFieldCount> cells;  // by field row
    std::string problem;     // why this record cannot be used; empty if it can
};

struct EditSheet {
    std::string format;   // "csv", "tsv", "json", "jsonl"
    std::string problem;  // why the input as a whole cannot be read; empty if it can
    std::vector<SheetRow> rows;
};

// Reads `input`. Column and member names are keywords in any case or
// Japanese labels (`encoder` turns those to the table's bytes). Rows with
// the same path as an earlier row get a problem.
EditSheet ReadEditSheet(std::string_view input, collection::ShiftJisEncoder& encoder);

}  // namespace zolehead::edit
