// Reading a collection into a catalog, with the tool's walker and ordered
// reading threads (collection/), and a scan that runs in the background
// while the server answers. Every file is read through ServedRoots, so a
// link that leads out of the served folders gives an error row, not a read.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalog.hpp"
#include "catalog_store.hpp"
#include "served_roots.hpp"

namespace zolehead::serve {

struct ScanSettings {
    std::vector<std::string> roots;
    bool recursive = false;
    std::vector<std::string> extensions;  // lower case, no dot; empty: every file
    unsigned jobs = 1;                    // reading threads
};

// How far a scan has come; safe to read while it runs.
class ScanCounters {
public:
    std::atomic<std::uint64_t> read{0};     // rows so far, failures included
    std::atomic<std::uint64_t> failed{0};   // rows with an error
    std::atomic<std::uint64_t> skipped{0};  // entries the walk passed over

    static constexpr std::size_t kKeptNotices = 50;
    void notice(const std::string& path, std::string_view reason);
    std::vector<std::string> notices() const;
    void reset();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> notices_;  // the first kKeptNotices, "PATH: REASON"
};

// Reads every file the walk names into a catalog, in walk order. Stops early,
// with the rows read so far, once `stop` is set.
Catalog ScanCollection(const ScanSettings& settings, const ServedRoots& roots, ScanCounters& counters,
                       const std::atomic<bool>& stop);

struct ScanStatus {
    bool scanning = false;
    std::uint64_t read = 0;
    std::uint64_t failed = 0;
    std::uint64_t skipped = 0;
    std::vector<std::string> notices;
    double seconds = 0;   // of the running scan, or of the last one
    std::int64_t finished_unix_ms = 0;  // when the last scan ended (system clock); 0: none yet
    std::string failure;  // why the last scan could not run; empty if it ran
};

// Runs ScanCollection on a thread of its own and publishes each catalog to
// the store when its scan ends.
class BackgroundScanner {
public:
    // `finished`, if given, runs on the scan's thread as each scan ends.
    using Finished = std::function<void(const ScanStatus&)>;
    BackgroundScanner(ScanSettings settings, const ServedRoots& roots, CatalogStore& store, Finished finished = {});
    ~BackgroundScanner();
    BackgroundScanner(const BackgroundScanner&) = delete;
    BackgroundScanner& operator=(const BackgroundScanner&) = delete;

    // Starts a scan; false (and nothing done) while one runs.
    bool start();
    ScanStatus status() const;
    // Waits until no scan runs (for tests and tools).
    void wait();

private:
    void run();

    ScanSettings settings_;
    const ServedRoots& roots_;
    CatalogStore& store_;
    Finished finished_;
    ScanCounters counters_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;  // guards the members below
    std::condition_variable done_;
    bool scanning_ = false;
    std::thread thread_;
    double seconds_ = 0;
    std::int64_t finished_unix_ms_ = 0;
    std::int64_t started_ns_ = 0;
    std::string failure_;
};

}  // namespace zolehead::serve
