#include "collection_reader.hpp"

#include <algorithm>

namespace zolehead::collection {

namespace {

// Jobs in flight per thread: enough to keep every thread busy while one slow
// file holds up the output.
constexpr std::size_t kJobsPerThread = 64;
constexpr std::size_t kMinWindow = 256;

}  // namespace

std::size_t DefaultWindow(unsigned threads) noexcept {
    return std::max(kMinWindow, kJobsPerThread * std::max(threads, 1U));
}

CollectionReader::CollectionReader(FileWalker walker, unsigned threads, Work work, std::size_t window)
    : walker_(std::move(walker)),
      pipeline_(std::max(threads, 1U) - 1, window == 0 ? DefaultWindow(threads) : window, std::move(work)),
      refill_at_(std::max<std::size_t>(1, (window == 0 ? DefaultWindow(threads) : window) / 4)) {}

ReadJob* CollectionReader::next(const std::function<void()>& before_wait) {
    if (holding_) {
        pipeline_.release_oldest();
        holding_ = false;
    }
    if (walking_ && (pipeline_.free_slots() >= refill_at_ || !pipeline_.pending())) {
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

}  // namespace zolehead::collection
