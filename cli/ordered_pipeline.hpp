// Runs jobs on reading threads and hands them back in the order they were
// staged. At most `window` jobs are held at once, so a collection of any
// size streams through in bounded memory.
//
// The calling thread stages and takes jobs, and reads too: rather than sleep
// while the oldest job is unfinished, it runs the next unclaimed one. With
// `workers` extra threads, workers + 1 threads read in all.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "read_job.hpp"

namespace zolehead_cli {

class OrderedPipeline {
public:
    // Runs a job on reader `reader`: 0 .. workers-1 for the worker threads,
    // `workers` for the calling thread.
    using Run = std::function<void(ReadJob& job, unsigned reader)>;

    OrderedPipeline(unsigned workers, std::size_t window, Run run);
    ~OrderedPipeline();
    OrderedPipeline(const OrderedPipeline&) = delete;
    OrderedPipeline& operator=(const OrderedPipeline&) = delete;

    std::size_t free_slots() const noexcept { return jobs_.size() - static_cast<std::size_t>(staged_ - taken_); }
    bool pending() const noexcept { return staged_ != taken_; }

    // The job slot to fill next; stage() once it is filled. Staged jobs go to
    // the workers together at publish(), so they wake once per batch, not
    // once per file.
    ReadJob& next_slot() noexcept { return jobs_[staged_ % jobs_.size()]; }
    void stage() noexcept { ++staged_; }
    void publish();

    // Whether the oldest job is done, without waiting.
    bool oldest_done();
    // Runs one unclaimed job on the calling thread; false if none is left.
    bool run_one();
    // Waits for the oldest job; it stays valid until release_oldest().
    ReadJob& wait_oldest();
    void release_oldest();

private:
    // Claims and runs the next published job; `lock` is held on entry and exit.
    void run_claimed(std::unique_lock<std::mutex>& lock, unsigned reader);
    void work(unsigned reader);

    Run run_;
    std::vector<ReadJob> jobs_;       // a ring indexed by sequence number
    std::vector<std::uint8_t> done_;  // per ring slot, guarded by mutex_
    std::uint64_t staged_ = 0;        // main thread only
    std::uint64_t submitted_ = 0;     // written by the main thread under mutex_
    std::uint64_t claimed_ = 0;       // guarded by mutex_
    std::uint64_t taken_ = 0;         // written by the main thread under mutex_
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable job_done_;
    std::vector<std::thread> threads_;
};

}  // namespace zolehead_cli
