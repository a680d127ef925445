// Turns a job's walk entry into records, with one reading thread's state. A
// file gives one record; with archives on, a file that is an archive gives
// one per entry, in chunks: a large archive streams through in bounded memory.
#pragma once

#include <functional>
#include <optional>

#include "read_job.hpp"
#include "read_settings.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::collection {

class JobReader {
public:
    // Runs on the reading thread after each record is read (the tool
    // renders it); `thread` is the reader's index.
    using RecordHook = std::function<void(ReadRecord& record, unsigned thread)>;

    // Throws std::system_error when archives are on and the C library cannot
    // convert from code page 932 (entry names need it). All references must
    // outlive the reader.
    JobReader(const ReadSettings& settings, RecordBudget& budget, const RecordHook& hook, unsigned thread);

    // Reads the job's entry from its start: a file's record, or the first
    // chunk of an archive's, within the budget. job.archive stays set when
    // the archive has more.
    void start(ReadJob& job);
    // Reads the next chunk of the job's archive, outside the budget: for the
    // calling thread, whose job is the oldest and goes straight out.
    void resume(ReadJob& job);

private:
    void read_file(ReadJob& job);
    void read_archive(ReadJob& job, bool budgeted);
    ReadRecord& add(ReadJob& job, ReadRecord::Kind kind);
    void finish(ReadRecord& record);

    const ReadSettings& settings_;
    RecordBudget& budget_;
    const RecordHook& hook_;
    unsigned thread_;
    std::optional<ShiftJisDecoder> names_;
    ArchiveEntry entry_;  // reused between entries
};

}  // namespace zolehead::collection
