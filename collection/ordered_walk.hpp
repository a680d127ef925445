// A walk worked on in parallel and handed back in walk order: the walker
// names the entries, `threads` threads (the calling one among them) do the
// caller's work on each, and next() returns them one at a time as walked.
// At most a window of entries is held at once, so a collection of any size
// streams through in bounded memory.
//
//   OrderedWalk<WorkJob> walk(std::move(walker), jobs, [&](WorkJob& job, unsigned thread) { ... });
//   while (WorkJob* job = walk.next()) use(*job);
//
// Job: default-constructible, with `WalkEntry entry` (set by the walk) and
// `std::uint64_t sequence` (its place in the walk, from 0).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "file_walker.hpp"
#include "ordered_pipeline.hpp"

namespace zolehead::collection {

// The default number of entries in flight for `threads` threads: enough to
// keep every thread busy while one slow file holds up the output.
constexpr std::size_t DefaultWindow(unsigned threads) noexcept {
    return std::max<std::size_t>(256, std::size_t{64} * std::max(threads, 1U));
}

template <class Job>
class OrderedWalk {
public:
    // Works on one job on thread `thread` (0 .. threads-1); may run on any of
    // them, never on two at once for the same job.
    using Work = typename OrderedPipeline<Job>::Run;

    OrderedWalk(FileWalker walker, unsigned threads, Work work, std::size_t window = 0)
        : walker_(std::move(walker)),
          window_(window == 0 ? DefaultWindow(threads) : window),
          pipeline_(std::max(threads, 1U) - 1, window_, std::move(work)) {}

    // The next job in walk order, worked on; nullptr once the walk is over.
    // The job stays valid until the next call. `before_wait` runs whenever
    // the call is about to sleep for a job another thread holds (a chance
    // to flush output that is ready).
    Job* next(const std::function<void()>& before_wait = {}) {
        if (holding_) {
            pipeline_.release_oldest();
            holding_ = false;
        }
        if (walking_ && (pipeline_.free_slots() >= refill_at() || !pipeline_.pending())) {
            while (pipeline_.free_slots() > 0 && (walking_ = walker_.next(pipeline_.next_slot().entry))) {
                pipeline_.next_slot().sequence = walked_++;
                pipeline_.stage();
            }
            pipeline_.publish();
        }
        if (!pipeline_.pending()) return nullptr;
        // Work rather than wait; before waiting, let the caller hand over what is ready.
        while (!pipeline_.oldest_done()) {
            if (!pipeline_.run_one()) {
                if (before_wait) before_wait();
                break;
            }
        }
        holding_ = true;
        return &pipeline_.wait_oldest();
    }

private:
    std::size_t refill_at() const noexcept { return std::max<std::size_t>(1, window_ / 4); }

    FileWalker walker_;
    std::size_t window_;
    OrderedPipeline<Job> pipeline_;
    bool walking_ = true;
    bool holding_ = false;  // the last job handed out is still in the pipeline
    std::uint64_t walked_ = 0;
};

}  // namespace zolehead::collection
