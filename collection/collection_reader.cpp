#include "collection_reader.hpp"

#include <algorithm>

namespace zolehead::collection {

namespace {

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

CollectionReader::CollectionReader(FileWalker walker, unsigned threads, ReadSettings settings, RecordHook hook,
                                   std::size_t window)
    : settings_(std::move(settings)),
      hook_(std::move(hook)),
      budget_(kRecordBudget),
      readers_(MakeReaders(std::max(threads, 1U), settings_, budget_, hook_)),
      walk_(std::move(walker), threads, [this](ReadJob& job, unsigned thread) { readers_[thread]->start(job); },
            window) {}

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
        current_ = walk_.next(before_wait);
        if (current_ == nullptr) return nullptr;
    }
}

}  // namespace zolehead::collection
