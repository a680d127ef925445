// The output formats. A format renders one record at a time into a string,
// on any reading thread; the main thread writes the strings in input order
// with the format's framing around and between them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "field_text.hpp"
#include "options.hpp"
#include "zolehead.hpp"

namespace zolehead_cli {

using zolehead::collection::FieldText;

struct FileRecord {
    std::string_view path;      // as shown: UTF-8 names for entries inside archives
    std::string_view raw_path;  // the path's own bytes; differs from `path` only inside archives
    std::string_view error;     // why the file could not be read; empty if it was
    const zolehead::ZoleHeader& header;

    // What --raw shows where a path goes as it is (table, CSV, TSV).
    std::string_view shown_path(const FieldText& text) const { return text.raw() ? raw_path : path; }
};

class RecordFormat {
public:
    virtual ~RecordFormat() = default;
    virtual std::string begin() const { return {}; }
    virtual std::string separator() const { return {}; }
    virtual std::string end(bool any_records) const {
        (void)any_records;
        return {};
    }
    // Appends one record to `out`. Must not touch shared state.
    virtual void render(const FileRecord& record, FieldText& text, std::string& out) const = 0;
};

std::unique_ptr<RecordFormat> MakeTableFormat();
std::unique_ptr<RecordFormat> MakeJsonFormat(bool as_array);
std::unique_ptr<RecordFormat> MakeDelimitedFormat(char delimiter);

inline std::unique_ptr<RecordFormat> MakeRecordFormat(OutputFormat format) {
    switch (format) {
    case OutputFormat::TABLE: return MakeTableFormat();
    case OutputFormat::JSON: return MakeJsonFormat(true);
    case OutputFormat::JSONL: return MakeJsonFormat(false);
    case OutputFormat::CSV: return MakeDelimitedFormat(',');
    case OutputFormat::TSV: return MakeDelimitedFormat('\t');
    }
    return MakeJsonFormat(false);
}

// The letter of a slot's form, "A" or "B"; empty for a slot with nothing.
inline std::string_view FormLetter(zolehead::HeaderStatus status) {
    switch (status) {
    case zolehead::STATUS_FORM_A: return "A";
    case zolehead::STATUS_FORM_B: return "B";
    case zolehead::STATUS_NONE: break;
    }
    return {};
}

}  // namespace zolehead_cli
