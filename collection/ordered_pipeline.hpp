// Runs jobs on reading threads and hands them back in the order they were
// staged. At most `window` jobs are held at once, so a collection of any
// size streams through in bounded memory.
//
// Readers claim jobs with an atomic counter and mark them done in their own
// slot; the lock is taken only to sleep or to wake a sleeper. A reader never
// depends on the calling thread being on a processor while staged work is
// left, so a busy machine that takes that thread away for a time slice does
// not stall the others.
//
// The calling thread stages and takes jobs, and reads too: rather than sleep
// while the oldest job is unfinished, it runs the next unclaimed one. With
// `workers` extra threads, workers + 1 threads read in all.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zolehead::collection {

// Job: any default-constructible type; the pipeline only stores it.
template <class Job>
class OrderedPipeline {
public:
    // Runs a job on reader `reader`: 0 .. workers-1 for the worker threads,
    // `workers` for the calling thread.
    using Run = std::function<void(Job& job, unsigned reader)>;

    OrderedPipeline(unsigned workers, std::size_t window, Run run);
    ~OrderedPipeline();
    OrderedPipeline(const OrderedPipeline&) = delete;
    OrderedPipeline& operator=(const OrderedPipeline&) = delete;

    // The calling thread's view; only it may call the members below.
    std::size_t free_slots() const noexcept { return window_ - static_cast<std::size_t>(staged_ - taken_); }
    bool pending() const noexcept { return staged_ != taken_; }

    // The job slot to fill next; stage() once it is filled. Staged jobs reach
    // the readers at publish(), so sleeping workers wake once per batch.
    Job& next_slot() noexcept { return slots_[staged_ % window_].job; }
    void stage() noexcept { ++staged_; }
    void publish();

    // Whether the oldest job is done, without waiting.
    bool oldest_done() const noexcept;
    // Runs one unclaimed job on the calling thread; false if none is left.
    bool run_one();
    // Waits for the oldest job; it stays valid until release_oldest().
    Job& wait_oldest();
    void release_oldest() noexcept { ++taken_; }

private:
    struct Slot {
        Job job;
        // The sequence number + 1 of the last job finished in this slot.
        std::atomic<std::uint64_t> finished{0};
    };

    // Claims the next published job, if any; returns its sequence number.
    bool claim(std::uint64_t& sequence) noexcept;
    void run_claimed(std::uint64_t sequence, unsigned reader);
    void work(unsigned reader);

    Run run_;
    std::size_t window_;
    std::unique_ptr<Slot[]> slots_;  // a ring indexed by sequence number
    std::uint64_t staged_ = 0;       // calling thread only
    std::uint64_t taken_ = 0;        // calling thread only
    std::atomic<std::uint64_t> published_{0};
    std::atomic<std::uint64_t> claimed_{0};
    // Sleepers announce themselves here before they check for work, and
    // wakers check here after they make work, so no wake-up is lost.
    std::atomic<unsigned> idle_workers_{0};
    std::atomic<std::uint64_t> awaited_{0};  // sequence + 1 the calling thread sleeps on; 0: none
    bool stopping_ = false;                  // guarded by mutex_
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable job_done_;
    std::vector<std::thread> threads_;
};

template <class Job>
inline OrderedPipeline<Job>::OrderedPipeline(unsigned workers, std::size_t window, Run run)
    : run_(std::move(run)), window_(window == 0 ? 1 : window), slots_(new Slot[window_]) {
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this, i] { work(i); });
}

template <class Job>
inline OrderedPipeline<Job>::~OrderedPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& t : threads_) t.join();
}

template <class Job>
inline void OrderedPipeline<Job>::publish() {
    if (published_.load(std::memory_order_relaxed) == staged_) return;
    published_.store(staged_);
    if (idle_workers_.load() != 0) {
        // Taking the lock orders this wake-up after a sleeper's last check.
        { std::lock_guard lock(mutex_); }
        work_ready_.notify_all();
    }
}

template <class Job>
inline bool OrderedPipeline<Job>::oldest_done() const noexcept {
    return slots_[taken_ % window_].finished.load(std::memory_order_acquire) == taken_ + 1;
}

template <class Job>
inline bool OrderedPipeline<Job>::run_one() {
    std::uint64_t sequence = 0;
    if (!claim(sequence)) return false;
    run_claimed(sequence, static_cast<unsigned>(threads_.size()));
    return true;
}

template <class Job>
inline Job& OrderedPipeline<Job>::wait_oldest() {
    Slot& slot = slots_[taken_ % window_];
    const std::uint64_t wanted = taken_ + 1;
    if (slot.finished.load() != wanted) {
        awaited_.store(wanted);
        std::unique_lock lock(mutex_);
        job_done_.wait(lock, [&] { return slot.finished.load() == wanted; });
        awaited_.store(0, std::memory_order_relaxed);
    }
    return slot.job;
}

template <class Job>
inline bool OrderedPipeline<Job>::claim(std::uint64_t& sequence) noexcept {
    std::uint64_t next = claimed_.load(std::memory_order_relaxed);
    for (;;) {
        // Acquire: the staged job's contents come with its publication.
        if (next >= published_.load(std::memory_order_acquire)) return false;
        if (claimed_.compare_exchange_weak(next, next + 1, std::memory_order_relaxed)) {
            sequence = next;
            return true;
        }
    }
}

template <class Job>
inline void OrderedPipeline<Job>::run_claimed(std::uint64_t sequence, unsigned reader) {
    Slot& slot = slots_[sequence % window_];
    run_(slot.job, reader);
    slot.finished.store(sequence + 1);
    // Only the job the calling thread sleeps on is worth a wake-up.
    if (awaited_.load() == sequence + 1) {
        { std::lock_guard lock(mutex_); }
        job_done_.notify_one();
    }
}

template <class Job>
inline void OrderedPipeline<Job>::work(unsigned reader) {
    for (;;) {
        std::uint64_t sequence = 0;
        if (claim(sequence)) {
            run_claimed(sequence, reader);
            continue;
        }
        std::unique_lock lock(mutex_);
        idle_workers_.fetch_add(1);
        work_ready_.wait(lock, [&] { return stopping_ || claimed_.load() < published_.load(); });
        idle_workers_.fetch_sub(1);
        if (stopping_ && claimed_.load() >= published_.load()) return;  // nothing left
    }
}

}  // namespace zolehead::collection
