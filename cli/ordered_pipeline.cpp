#include "ordered_pipeline.hpp"

namespace zolehead_cli {

OrderedPipeline::OrderedPipeline(unsigned workers, std::size_t window, Run run)
    : run_(std::move(run)), jobs_(window == 0 ? 1 : window), done_(jobs_.size(), 0) {
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
    {
        std::lock_guard lock(mutex_);
        if (submitted_ == staged_) return;
        submitted_ = staged_;
    }
    if (!threads_.empty()) work_ready_.notify_all();
}

bool OrderedPipeline::oldest_done() {
    std::lock_guard lock(mutex_);
    return done_[taken_ % jobs_.size()] != 0;
}

bool OrderedPipeline::run_one() {
    std::unique_lock lock(mutex_);
    if (claimed_ == submitted_) return false;
    run_claimed(lock, static_cast<unsigned>(threads_.size()));
    return true;
}

ReadJob& OrderedPipeline::wait_oldest() {
    const std::size_t slot = taken_ % jobs_.size();
    std::unique_lock lock(mutex_);
    job_done_.wait(lock, [&] { return done_[slot] != 0; });
    return jobs_[slot];
}

void OrderedPipeline::release_oldest() {
    std::lock_guard lock(mutex_);
    done_[taken_ % jobs_.size()] = 0;
    ++taken_;
}

void OrderedPipeline::run_claimed(std::unique_lock<std::mutex>& lock, unsigned reader) {
    const std::uint64_t sequence = claimed_++;
    lock.unlock();
    run_(jobs_[sequence % jobs_.size()], reader);
    lock.lock();
    done_[sequence % jobs_.size()] = 1;
    // Only the oldest job can unblock the main thread.
    if (sequence == taken_) job_done_.notify_one();
}

void OrderedPipeline::work(unsigned reader) {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_ready_.wait(lock, [&] { return stopping_ || claimed_ < submitted_; });
        if (claimed_ == submitted_) return;  // stopping, and nothing left
        run_claimed(lock, reader);
    }
}

}  // namespace zolehead_cli
