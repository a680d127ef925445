// Plans an edit of a file held in memory: which bytes to replace so that
// every reader reads the new values, and nothing else changes. Pure: no I/O.
//
//   Planner planner;                                   // one per thread
//   const Plan& plan = planner.plan(bytes, edits, InsertForm::AUTO);
//   if (plan.kind == Plan::Kind::CHANGE) write(plan.result);
//
// What it changes, conservatively:
// - a field the file has: the value of the entry each reader takes, in
//   place. A form A label given twice (which the combined reader empties)
//   keeps its last line, with the new value, and loses the earlier ones, so
//   every reader reads the new value.
// - a field the file lacks: a new line in the file's header block, in the
//   form most of its entries use (form B when it has none) or as asked, with
//   the line end of the line before it (CR LF in a file without any). An
//   empty form A line of the field ("曲名：") is filled instead when the new
//   entry is to be in form A.
// - a removed field: every entry that gives it a value; a line left with
//   nothing but blanks goes with it.
// The header block is the first run of entries of the sixteen fields that
// follow one another with only blanks and single line ends between them; a
// new line goes after the line that holds the last of them, or at the start
// of a file that has no entry.
//
// It refuses, saying why: an entry that sits inside another field's value
// (a keyword inside a comment line), or that holds one; a file that is
// plainly not Zole text (NUL bytes, an archive's magic number); a value the
// form cannot hold; and any plan that fails one of the checks 1-4
// (plan_checks.hpp), which are run on every plan.
#pragma once

#include <span>

#include "edit_plan.hpp"
#include "entry_map.hpp"
#include "plan_checks.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::edit {

class Planner {
public:
    // Throws std::system_error when the C library cannot convert from CP932
    // (needed to word refusals).
    Planner() = default;

    // Plans `edits` (at most one per field; SET values already checked with
    // CheckValueBytes) on `bytes`, the whole file. The plan stays valid until
    // the next call. A file that already reads as asked is UNCHANGED after
    // three fast reads. Never throws but std::bad_alloc.
    const Plan& plan(std::span<const std::uint8_t> bytes, std::span<const FieldEdit> edits, InsertForm form);

private:
    struct EntryChange;

    void refuse(Problem problem, std::string reason, int check = 0);
    bool plan_changes(std::span<const std::uint8_t> bytes, std::span<const FieldEdit> edits, InsertForm form);

    Plan plan_;
    ThreeReadings before_;
    ThreeReadings after_;
    EntryMap map_;
    std::string lines_, quoted_;       // scratch for new entries, kept between files
    std::vector<std::uint64_t> reach_;  // the furthest end of the field entries before each entry
    collection::ShiftJisDecoder decoder_;
};

}  // namespace zolehead::edit
