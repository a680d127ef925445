#include "catalog_scan.hpp"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>

#include "entry_reader.hpp"
#include "field_text.hpp"
#include "ordered_walk.hpp"

namespace zolehead::serve {

namespace {

using collection::FieldText;
using collection::FileWalker;
using collection::OrderedWalk;
using collection::WalkEntry;

// One walked file: read on a reading thread, packed for the catalog.
struct ScanJob {
    WalkEntry entry;
    std::uint64_t sequence = 0;
    ZoleHeader header;
    std::string error;
    std::string output;  // the values packed by ScanReader
};

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A reading thread's work: the file through ServedRoots and the core, its
// values decoded to UTF-8 into job.output as sixteen NUL-ended texts and two
// bytes of lossy bits, so the calling thread only copies.
class ScanReader {
public:
    explicit ScanReader(const ServedRoots& roots) : roots_(roots), text_(false) {}

    void run(ScanJob& job) {
        job.output.clear();
        job.error = job.entry.failure;
        if (job.error.empty()) {
            const ServedRoots::Resolved file = roots_.resolve(job.entry.path);
            if (file.refusal != PathRefusal::NONE) {
                job.error = DescribeRefusal(file.refusal, file.system_error);
            } else {
                collection::ReadEntry(WalkEntry{file.reopen_path(), {}}, HeaderForm::BOTH, job.header, job.error);
            }
        }
        if (!job.error.empty()) job.header.clear();
        std::uint16_t lossy = 0;
        for (std::size_t i = 0; i < job.header.slots.size(); ++i) {
            const HeaderSlot& slot = job.header.slots[i];
            if (slot.status != STATUS_NONE) {
                const FieldText::Text value = text_.get(slot.text());
                job.output += value.text;
                if (value.lossy) lossy |= static_cast<std::uint16_t>(1U << i);
            }
            job.output += '\0';
        }
        job.output += static_cast<char>(lossy & 0xFF);
        job.output += static_cast<char>(lossy >> 8);
    }

private:
    const ServedRoots& roots_;
    FieldText text_;
};

CatalogEntry UnpackEntry(const ScanJob& job) {
    CatalogEntry entry;
    entry.path = job.entry.path;
    entry.error = job.error;
    const std::string_view packed = job.output;
    std::size_t at = 0;
    for (std::size_t i = 0; i < entry.values.size(); ++i) {
        const std::size_t end = packed.find('\0', at);
        entry.values[i] = packed.substr(at, end - at);
        at = end + 1;
        entry.forms[i] = static_cast<FieldForm>(job.header.slots[i].status);
    }
    entry.lossy = static_cast<std::uint16_t>(static_cast<unsigned char>(packed[at]) |
                                             static_cast<unsigned char>(packed[at + 1]) << 8);
    return entry;
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

Catalog ScanCollection(const ScanSettings& settings, const ServedRoots& roots, ScanCounters& counters,
                       const std::atomic<bool>& stop) {
    const unsigned threads = settings.jobs == 0 ? 1 : settings.jobs;
    std::vector<std::unique_ptr<ScanReader>> readers;
    for (unsigned i = 0; i < threads; ++i) readers.push_back(std::make_unique<ScanReader>(roots));

    FileWalker walker(settings.roots, settings.recursive, settings.extensions,
                      [&](const std::string& path, std::string_view reason) { counters.notice(path, reason); });
    OrderedWalk<ScanJob> reader(std::move(walker), threads, [&](ScanJob& job, unsigned thread) { readers[thread]->run(job); });
    CatalogBuilder builder;
    while (const ScanJob* job = reader.next()) {
        builder.add(UnpackEntry(*job));
        if (!job->error.empty()) ++counters.failed;
        ++counters.read;
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
