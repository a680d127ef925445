// A run of edits over many files: the walk names them, `jobs` threads edit
// them (each with an Editor of its own), records come out in walk order.
// Shared by set, remove and apply.
#pragma once

#include <functional>

#include "edit_record_format.hpp"
#include "file_walker.hpp"
#include "options.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead_cli {

// What one editing thread owns.
struct EditThread {
    zolehead::edit::Editor editor;
    zolehead::collection::ShiftJisDecoder decoder;
};

struct EditRunSettings {
    OutputFormat format = OutputFormat::JSONL;
    unsigned jobs = 1;
    bool progress = false;
    bool show_lines = false;  // dry run: the changed lines in each record
};

// Edits the file of one walk entry (the `sequence`-th) into `outcome`, on
// any thread. A walk entry with a failure never reaches it.
using EditWork = std::function<void(const zolehead::collection::WalkEntry& entry, std::uint64_t sequence,
                                    EditThread& thread, EditOutcome& outcome)>;

// Runs the edits and writes the records to standard output, a line on
// standard error for each file refused or failed. Returns the exit status.
int RunEdits(zolehead::collection::FileWalker walker, const EditRunSettings& settings, const EditWork& work);

// Whether a file met in a -r walk is an editor's own: a backup (NAME.bak,
// NAME.bak.N) or a temporary file left by a killed run (.NAME.zolehead-XXXXXX).
// Edit walks pass over them, so that a second run never edits a backup.
bool IsEditorsOwnFile(std::string_view path);

}  // namespace zolehead_cli
