#include "catalog_scan.hpp"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>

#include "ordered_walk.hpp"
#include "row_reader.hpp"

namespace zolehead::serve {

namespace {

using collection::FileWalker;
using collection::OrderedWalk;
using collection::WalkEntry;

// One walked file: read on a reading thread into its rows.
struct ScanJob {
    WalkEntry entry;
    std::uint64_t sequence = 0;
    PackedRows rows;
};

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void ScanCounters::notice(const std::string& path, std::string_view reason) {
    ++skipped;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (notices_.size() < kKeptNotices) notices_.push_back(path + ": " + std::string(reason));
}

std::vector<std::string> ScanCounters::notices() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return notices_;
}

void ScanCounters::reset() {
    read = 0;
    failed = 0;
    skipped = 0;
    const std::lock_guard<std::mutex> lock(mutex_);
    notices_.clear();
}

collection::ReadSettings ScanSettings::reading() const {
    collection::ReadSettings settings;
    settings.archives = archives;
    settings.max_entry_size = max_entry_size;
    settings.extensions = extensions;
    return settings;
}

Catalog ScanCollection(const ScanSettings& settings, const ServedRoots& roots, ScanCounters& counters,
                       const std::atomic<bool>& stop) {
    const unsigned threads = settings.jobs == 0 ? 1 : settings.jobs;
    const collection::ReadSettings reading = settings.reading();
    std::vector<std::unique_ptr<RowReader>> readers;
    for (unsigned i = 0; i < threads; ++i) readers.push_back(std::make_unique<RowReader>(roots, reading));

    FileWalker walker(
        settings.roots, settings.recursive, settings.extensions,
        [&](const std::string& path, std::string_view reason) { counters.notice(path, reason); }, settings.archives);
    OrderedWalk<ScanJob> reader(std::move(walker), threads,
                                [&](ScanJob& job, unsigned thread) { readers[thread]->read(job.entry, job.rows); });
    CatalogBuilder builder;
    while (const ScanJob* job = reader.next()) {
        for (std::size_t i = 0; i < job->rows.size(); ++i) {
            builder.add(job->rows[i].entry());
            if (!job->rows[i].error.empty()) ++counters.failed;
            ++counters.read;
        }
        if (stop.load(std::memory_order_relaxed)) break;
    }
    return builder.finish();
}

BackgroundScanner::BackgroundScanner(ScanSettings settings, const ServedRoots& roots, CatalogStore& store,
                                     Finished finished)
    : settings_(std::move(settings)), roots_(roots), store_(store), finished_(std::move(finished)) {}

BackgroundScanner::~BackgroundScanner() {
    stop_ = true;
    std::thread running;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        running = std::move(thread_);
    }
    if (running.joinable()) running.join();
}

bool BackgroundScanner::start() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (scanning_ || stop_) return false;
    // The last scan has published and is only returning.
    if (thread_.joinable()) thread_.join();
    scanning_ = true;
    failure_.clear();
    counters_.reset();
    started_ns_ = NowNs();
    thread_ = std::thread(&BackgroundScanner::run, this);
    return true;
}

void BackgroundScanner::run() {
    std::string failure;
    try {
        Catalog catalog = ScanCollection(settings_, roots_, counters_, stop_);
        if (!stop_) store_.publish(std::move(catalog));
    } catch (const std::exception& e) {
        failure = e.what();
    }
    const double seconds = static_cast<double>(NowNs() - started_ns_) / 1e9;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        seconds_ = seconds;
        failure_ = std::move(failure);
        finished_unix_ms_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    }
    if (finished_ && !stop_) {
        ScanStatus done = status();
        done.scanning = false;
        done.seconds = seconds;
        finished_(done);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    scanning_ = false;
    done_.notify_all();
}

ScanStatus BackgroundScanner::status() const {
    ScanStatus status;
    status.read = counters_.read;
    status.failed = counters_.failed;
    status.skipped = counters_.skipped;
    status.notices = counters_.notices();
    const std::lock_guard<std::mutex> lock(mutex_);
    status.scanning = scanning_;
    status.seconds = scanning_ ? static_cast<double>(NowNs() - started_ns_) / 1e9 : seconds_;
    status.failure = failure_;
    status.finished_unix_ms = finished_unix_ms_;
    return status;
}

void BackgroundScanner::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return !scanning_; });
}

}  // namespace zolehead::serve
