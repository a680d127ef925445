// The record of one file in an edit run (set, remove, apply), in the tool's
// formats. A record holds the path, the status (edited, would-edit,
// unchanged, skipped, refused, failed), the fields that change with their
// old and new values, and for a refusal or failure its kind and reason.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "editor.hpp"
#include "options.hpp"

namespace zolehead_cli {

// One file's outcome: the editor's result, and for apply the fields it
// passed over (a cell emptied without --allow-remove), parallel to
// result.fields.
struct EditOutcome {
    zolehead::edit::EditResult result;
    std::vector<bool> skipped;
    bool omitted = false;  // no record at all (a backup met in a -r walk)

    bool any_skipped() const;
    // The record's status: the editor's, or "skipped" when nothing changed
    // because fields were passed over.
    std::string_view status() const;
    bool failed() const {
        return result.status == zolehead::edit::EditStatus::REFUSED ||
               result.status == zolehead::edit::EditStatus::FAILED;
    }
};

inline constexpr std::string_view kSkippedNote = "emptied in the edits; not removed without --allow-remove";

class EditRecordFormat {
public:
    virtual ~EditRecordFormat() = default;
    virtual std::string begin() const { return {}; }
    virtual std::string separator() const { return {}; }
    virtual std::string end(bool any_records) const {
        (void)any_records;
        return {};
    }
    // Appends one record; `show_lines` adds the changed lines (dry run).
    virtual void render(const EditOutcome& outcome, bool show_lines, std::string& out) const = 0;
};

std::unique_ptr<EditRecordFormat> MakeEditRecordFormat(OutputFormat format);

}  // namespace zolehead_cli
