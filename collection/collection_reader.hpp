// A collection read as a stream: the walker names the files, `threads`
// threads (the calling one among them) read them, and next() hands the
// records back one at a time in walk order: one per file, and with archives
// on one per entry of each archive, in the archive's order. At most a window
// of files and a budget of archive entries are held at once, so a collection
// of any size streams through in bounded memory.
//
//   CollectionReader reader(std::move(walker), jobs, settings,
//                           [&](ReadRecord& record, unsigned thread) { render(record); });
//   while (const ReadRecord* record = reader.next()) use(*record);
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "file_walker.hpp"
#include "job_reader.hpp"
#include "ordered_walk.hpp"
#include "read_job.hpp"
#include "read_settings.hpp"

namespace zolehead::collection {

class CollectionReader {
public:
    // Runs on a reading thread after each record is read, with the thread's
    // index (0 .. threads-1): a place for per-record work that should run
    // in parallel, such as rendering. Never runs twice at once for a thread.
    using RecordHook = JobReader::RecordHook;

    // Throws std::system_error when archives are on and the C library cannot
    // convert from code page 932.
    CollectionReader(FileWalker walker, unsigned threads, ReadSettings settings, RecordHook hook = {},
                     std::size_t window = 0);

    // The next record in walk order; nullptr once the walk is over. The
    // record stays valid until the next call. `before_wait` runs whenever
    // the call is about to sleep for a file another thread holds (a chance
    // to flush output that is ready).
    const ReadRecord* next(const std::function<void()>& before_wait = {});

private:
    ReadSettings settings_;
    RecordHook hook_;
    RecordBudget budget_;
    std::vector<std::unique_ptr<JobReader>> readers_;  // one per thread; the calling thread's last
    OrderedWalk<ReadJob> walk_;                        // after what its threads use, so it stops first
    ReadJob* current_ = nullptr;
    std::size_t handed_ = 0;    // records of current_ handed out
};

}  // namespace zolehead::collection
