// Editing the header fields of Zole data files: the API the tool, the Python
// module and the web catalog call.
//
//   zolehead::edit::Editor editor;                     // one per thread
//   const FieldChangeRequest changes[] = {{0, EditAction::SET, "夏の風"}, {15, EditAction::REMOVE, ""}};
//   EditResult r = editor.edit_file("song.zole", changes, {});
//   if (r.status == EditStatus::REFUSED) show(r.reason);
//
// Guarantees: the file is changed only by an atomic replace (file_writer.hpp)
// of bytes that were read back with all three readers first (plan_checks.hpp);
// anything the editor cannot do safely it refuses, writing nothing.
//
// An Editor holds no global state and is not shared: give each thread its
// own. edit_file never throws; the constructor throws std::system_error when
// the C library cannot convert between UTF-8 and code page 932.
//
// A process that may meet a file size limit (RLIMIT_FSIZE) should ignore
// SIGXFSZ, so that a write past it fails with EFBIG and is reported instead
// of ending the process (the tool and Python both do).
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "changed_lines.hpp"
#include "edit_plan.hpp"
#include "file_writer.hpp"
#include "planner.hpp"
#include "shift_jis_decoder.hpp"
#include "shift_jis_encoder.hpp"

namespace zolehead::edit {

struct FieldChangeRequest {
    int row = -1;  // identifier table row; FieldRow() finds it from a name
    EditAction action = EditAction::SET;
    std::string value;            // SET: UTF-8, or code page 932 bytes with value_is_cp932
    bool value_is_cp932 = false;  // the file's own bytes, taken as they are
};

struct EditOptions {
    InsertForm form = InsertForm::AUTO;  // the form of entries that have to be added
    bool dry_run = false;                // plan and check everything, write nothing
    bool backup = false;                 // keep the original as NAME.bak (.bak.2, ...)
    // Tests only: runs between writing the temporary file and renaming it.
    std::function<void(const std::string& temporary_path)> before_rename;
};

enum class EditStatus : std::uint8_t {
    EDITED,      // the file now holds the new values
    WOULD_EDIT,  // dry run: it would have been edited; nothing was written
    UNCHANGED,   // every reader already reads what was asked; nothing was written
    REFUSED,     // not safe to edit (see problem and reason); nothing was written
    FAILED,      // the system failed (see system_error); the original is untouched
};

// "edited", "would-edit", "unchanged", "refused", "failed".
std::string_view StatusName(EditStatus status) noexcept;

// One requested field, as the combined reader reads it before and after.
struct FieldReport {
    int row = -1;
    EditAction action = EditAction::SET;
    bool changed = false;  // some entry of the field changes (or would, in a dry run)
    HeaderStatus old_status = STATUS_NONE, new_status = STATUS_NONE;
    std::string old_bytes, new_bytes;  // code page 932
    std::string old_text, new_text;    // UTF-8; U+FFFD for bytes that do not convert
    bool old_lossy = false, new_lossy = false;
};

struct EditResult {
    std::string path;  // as given
    EditStatus status = EditStatus::UNCHANGED;
    Problem problem = Problem::NONE;  // REFUSED, FAILED: the kind, see ProblemName
    int check = 0;                    // CHECK_FAILED: which of the checks 1-4
    int system_error = 0;             // FAILED: errno, where one applies
    std::string reason;               // REFUSED, FAILED: a plain-English sentence
    std::vector<FieldReport> fields;  // one per request, in order (empty if refused before reading)
    std::vector<LineChange> lines;    // EDITED, WOULD_EDIT: the lines changed
    std::string backup_path;          // EDITED with backup: where the original is
    std::string warning;              // EDITED: something short of failure, such as an unflushed directory
};

class Editor {
public:
    Editor();

    // Edits the file at `path`: at most one request per field. Never throws.
    EditResult edit_file(const std::string& path, std::span<const FieldChangeRequest> changes,
                         const EditOptions& options) noexcept;

    // The value checks of edit_file on their own: "" when `utf8` can be set
    // in some form, else why not. For checking a command line up front.
    std::string check_value(std::string_view utf8);

    collection::ShiftJisEncoder& encoder() noexcept { return encoder_; }

private:
    void run(const std::string& path, std::span<const FieldChangeRequest> changes, const EditOptions& options,
             EditResult& result);
    void report_fields(const Plan& plan, EditResult& result);

    collection::ShiftJisEncoder encoder_;
    collection::ShiftJisDecoder decoder_;
    Planner planner_;
    SourceFile file_;
    std::vector<std::string> values_;  // the requests' values in code page 932
    std::vector<FieldEdit> edits_;
};

// One edit with an Editor of its own: for a caller that edits now and then.
EditResult EditFile(const std::string& path, std::span<const FieldChangeRequest> changes,
                    const EditOptions& options = {});

}  // namespace zolehead::edit
