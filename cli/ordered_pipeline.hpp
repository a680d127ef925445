// Runs jobs on worker threads and hands them back in the order they were
// submitted. At most `window` jobs are held at once, so a collection of any
// size streams through in bounded memory.
//
// The main thread alone submits and takes; the workers only run jobs.
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
    // Runs a job on the worker with the given index (0 .. threads-1).
    using Run = std::function<void(ReadJob& job, unsigned worker)>;

    // threads == 0 runs every job on the calling thread, inside submit.
    OrderedPipeline(unsigned threads, std::size_t window, Run run);
    ~OrderedPipeline();
    OrderedPipeline(const OrderedPipeline&) = delete;
    OrderedPipeline& operator=(const OrderedPipeline&) = delete;

    bool can_submit() const noexcept { return submitted_ - taken_ < jobs_.size(); }
    bool pending() const noexcept { return submitted_ != taken_; }

    // The job slot to fill next; call submit() once it is filled.
    ReadJob& next_slot() noexcept { return jobs_[submitted_ % jobs_.size()]; }
    void submit();

    // Whether the oldest job is done, without waiting.
    bool oldest_done();
    // Waits for the oldest job; it stays valid until release_oldest().
    ReadJob& wait_oldest();
    void release_oldest();

private:
    void work(unsigned worker);

    Run run_;
    std::vector<ReadJob> jobs_;       // a ring indexed by sequence number
    std::vector<std::uint8_t> done_;  // per ring slot, guarded by mutex_
    std::uint64_t submitted_ = 0;     // written by the main thread under mutex_
    std::uint64_t claimed_ = 0;       // guarded by mutex_
    std::uint64_t taken_ = 0;         // main thread only
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable job_done_;
    std::vector<std::thread> threads_;
};

}  // namespace zolehead_cli
