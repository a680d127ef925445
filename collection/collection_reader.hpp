// A collection read as a stream: the walker names the entries, `threads`
// threads (the calling one among them) work on them, and next() hands them
// back one at a time in walk order. At most a window of entries is held at
// once, so a collection of any size streams through in bounded memory.
//
//   CollectionReader reader(std::move(walker), jobs, [&](ReadJob& job, unsigned thread) { ... });
//   while (ReadJob* job = reader.next()) use(*job);
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "file_walker.hpp"
#include "ordered_pipeline.hpp"
#include "read_job.hpp"

namespace zolehead::collection {

class CollectionReader {
public:
    // Works on one job on thread `thread` (0 .. threads-1); may run on any of
    // them, never on two at once for the same job.
    using Work = OrderedPipeline::Run;

    CollectionReader(FileWalker walker, unsigned threads, Work work, std::size_t window = 0);

    // The next job in walk order, worked on; nullptr once the walk is over.
    // The job stays valid until the next call. `before_wait` runs whenever
    // the call is about to sleep for a job another thread holds (a chance
    // to flush output that is ready).
    ReadJob* next(const std::function<void()>& before_wait = {});

private:
    FileWalker walker_;
    OrderedPipeline pipeline_;
    std::size_t refill_at_;
    bool walking_ = true;
    bool holding_ = false;  // the last job handed out is still in the pipeline
    std::uint64_t walked_ = 0;
};

// The default number of jobs in flight for `threads` threads.
std::size_t DefaultWindow(unsigned threads) noexcept;

}  // namespace zolehead::collection
