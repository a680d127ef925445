#include "collection_reader.hpp"

#include <algorithm>

namespace zolehead::collection {

namespace {

// Jobs in flight per thread: enough to keep every thread busy while one slow
// file holds up the output.
constexpr std::size_t kJobsPerThread = 64;
constexpr std::size_t kMinWindow = 256;
// Archive entries read ahead of the output, across all threads: a few
// megabytes of records.
constexpr std::size_t kRecordBudget = 4096;

std::vector<std::unique_ptr<JobReader>> MakeReaders(unsigned threads, const ReadSettings& settings,
                                                    RecordBudget& budget, const JobReader::RecordHook& hook) {
    std::vector<std::unique_ptr<JobReader>> readers;
    for (unsigned i = 0; i < threads; ++i) readers.push_back(std::make_unique<JobReader>(settings, budget, hook, i));
    return readers;
}

}  // namespace

std::size_t DefaultWindow(unsigned threads) noexcept {
    return std::max(kMinWindow, kJobsPerThread * std::max(threads, 1U));
}

CollectionReader::CollectionReader(FileWalker walker, unsigned threads, ReadSettings settings, RecordHook hook,
                                   std::size_t window)
    : walker_(std::move(walker)),
      settings_(std::move(settings)),
      hook_(std::move(hook)),
      budget_(kRecordBudget),
      readers_(MakeReaders(std::max(threads, 1U), settings_, budget_, hook_)),
      pipeline_(std::max(threads, 1U) - 1, window == 0 ? DefaultWindow(threads) : window,
                [this](ReadJob& job, unsigned thread) { readers_[thread]->start(job); }),
      refill_at_(std::max<std::size_t>(1, (window == 0 ? DefaultWindow(threads) : window) / 4)) {}

const ReadRecord* CollectionReader::next(const std::function<void()>& before_wait) {
    for (;;) {
        if (current_ != nullptr) {
            if (handed_ < current_->count) return &current_->records[handed_++];
            budget_.give_back(current_->budgeted);
            current_->budgeted = 0;
            handed_ = 0;
            if (current_->archive) {
                // The oldest job has more: read it here, its records go straight out.
                readers_.back()->resume(*current_);
                continue;
            }
            current_ = nullptr;
        }
        current_ = next_job(before_wait);
        if (current_ == nullptr) return nullptr;
    }
}

ReadJob* CollectionReader::next_job(const std::function<void()>& before_wait) {
    if (holding_) {
        pipeline_.release_oldest();
        holding_ = false;
    }
    if (walking_ && (pipeline_.free_slots() >= refill_at_ || !pipeline_.pending())) {
        while (pipeline_.free_slots() > 0 && (walking_ = walker_.next(pipeline_.next_slot().entry))) pipeline_.stage();
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

}  // namespace zolehead::collection
