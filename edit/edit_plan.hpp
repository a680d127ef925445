// What an edit asks for and what planning it gives: the value types shared by
// the planner, the file writer and the callers. No I/O here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zolehead.hpp"

namespace zolehead::edit {

enum class EditAction : std::uint8_t { SET, REMOVE };

// One field to change, its value already in code page 932.
struct FieldEdit {
    int row = -1;  // identifier table row, 0..15
    EditAction action = EditAction::SET;
    std::string_view value;  // SET: the new value's bytes (1..127); REMOVE: unused
};

// The form of an entry the planner has to add.
enum class InsertForm : std::uint8_t {
    AUTO,  // the form most of the file's entries use; form B when it has none
    A,
    B,
};

// Why an edit was not made. Refusals: the file or the value cannot be edited
// safely, so nothing was written. Failures: the system said no.
enum class Problem : std::uint8_t {
    NONE,
    BAD_VALUE,            // the value cannot be written so that it reads back the same
    NOT_ZOLE_TEXT,        // NUL bytes or the magic number of an archive or other binary format
    NESTED_ENTRY,         // the entry sits inside another field's value, or holds one
    CHECK_FAILED,         // reading the planned bytes back did not give what was asked
    TOO_LARGE,            // larger than kMaxEditableBytes
    NOT_REGULAR_FILE,     // directory, FIFO, device, socket
    HARD_LINKS,           // more than one name: a rename would split them
    INSIDE_ARCHIVE,       // ARCHIVE!/ENTRY
    CHANGED_DURING_EDIT,  // the file changed between reading and renaming
    BAD_RECORD,           // apply: the edits' record for the file cannot be used
    CANNOT_OPEN,          // failure: open or stat failed (errno)
    IO_ERROR,             // failure: read, write, flush, rename (errno)
};

// A stable lower-case name for records and scripts: "check-failed", ...
std::string_view ProblemName(Problem problem) noexcept;
// Whether the problem is a refusal (true) or a failure of the system (false).
bool IsRefusal(Problem problem) noexcept;

// Replace `removed` bytes at `offset` by `insert_size` bytes taken from the
// plan's inserted text at `insert_at`.
struct Splice {
    std::uint64_t offset = 0;
    std::uint64_t removed = 0;
    std::size_t insert_at = 0;
    std::size_t insert_size = 0;
};

// One requested field before and after, as the combined reader sees it.
struct FieldOutcome {
    int row = -1;
    EditAction action = EditAction::SET;
    bool changed = false;  // any entry of this field changes
    HeaderSlot before;
    HeaderSlot after;  // equal to before when the plan is refused
};

struct Plan {
    enum class Kind : std::uint8_t {
        UNCHANGED,  // every reader already reads what was asked
        CHANGE,     // `splices` make it so; `result` holds the new bytes, checked
        REFUSED,    // `problem` and `reason` say why
    };
    Kind kind = Kind::UNCHANGED;
    Problem problem = Problem::NONE;
    int check = 0;       // CHECK_FAILED: which of the checks 1-4
    std::string reason;  // REFUSED: a sentence for a person (UTF-8)

    std::vector<FieldOutcome> fields;  // one per edit, in the order given
    std::vector<Splice> splices;       // CHANGE: by offset, not overlapping
    std::string inserted;              // the bytes the splices insert
    std::string result;                // CHANGE: the whole new file

    std::string_view inserted_by(const Splice& s) const noexcept {
        return std::string_view(inserted).substr(s.insert_at, s.insert_size);
    }
};

// Files larger than this are refused without being read whole: a Zole data
// file is a few kilobytes of text, and an editor that copied gigabytes into
// memory to change a title would be doing something else.
inline constexpr std::uint64_t kMaxEditableBytes = 16u << 20;

}  // namespace zolehead::edit
