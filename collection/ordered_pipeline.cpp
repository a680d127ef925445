#include "ordered_pipeline.hpp"

namespace zolehead::collection {

OrderedPipeline::OrderedPipeline(unsigned workers, std::size_t window, Run run)
    : run_(std::move(run)), window_(window == 0 ? 1 : window), slots_(new Slot[window_]) {
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this, i] { work(i); });
}

OrderedPipeline::~OrderedPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void OrderedPipeline::publish() {
    if (published_.load(std::memory_order_relaxed) == staged_) return;
    published_.store(staged_);
    if (idle_workers_.load() != 0) {
        // Taking the lock orders this wake-up after a sleeper's last check.
        { std::lock_guard lock(mutex_); }
        work_ready_.notify_all();
    }
}

bool OrderedPipeline::oldest_done() const noexcept {
    return slots_[taken_ % window_].finished.load(std::memory_order_acquire) == taken_ + 1;
}

bool OrderedPipeline::run_one() {
    std::uint64_t sequence = 0;
    if (!claim(sequence)) return false;
    run_claimed(sequence, static_cast<unsigned>(threads_.size()));
    return true;
}

ReadJob& OrderedPipeline::wait_oldest() {
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

bool OrderedPipeline::claim(std::uint64_t& sequence) noexcept {
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

void OrderedPipeline::run_claimed(std::uint64_t sequence, unsigned reader) {
    Slot& slot = slots_[sequence % window_];
    run_(slot.job, reader);
    slot.finished.store(sequence + 1);
    // Only the job the calling thread sleeps on is worth a wake-up.
    if (awaited_.load() == sequence + 1) {
        { std::lock_guard lock(mutex_); }
        job_done_.notify_one();
    }
}

void OrderedPipeline::work(unsigned reader) {
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
