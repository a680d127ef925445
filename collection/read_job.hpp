// One walk entry's trip through a collection run: the walk names it, a
// reading thread reads it into records (one for a file, one per entry for an
// archive), the calling thread hands the records out in walk order.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive_path.hpp"
#include "archive_reader.hpp"
#include "file_walker.hpp"
#include "zolehead.hpp"

namespace zolehead::collection {

// What a run found for one file, one entry of an archive, or an archive that
// could not be read on.
struct ReadRecord {
    enum class Kind : std::uint8_t {
        FILE,           // a file on disk
        ARCHIVE_ENTRY,  // a file inside an archive
        WHOLE_ARCHIVE,  // the archive itself: always with an error
    };

    Kind kind = Kind::FILE;
    // As shown: the file's path, or ARCHIVE!/ENTRY with the entry's name in
    // UTF-8 (see archive_path.hpp and entry_name_text.hpp).
    std::string path;
    std::string archive;     // the archive's path as walked; empty for a FILE
    std::string entry_name;  // ARCHIVE_ENTRY: the name as the archive stores it (bytes)
    zolehead::ZoleHeader header;  // what the read found; every slot empty on failure
    std::string error;            // why it could not be read; empty if it was
    int system_error = 0;         // the errno behind `error`, for consumers that report it
    std::string output;           // free for the consumer: the tool renders its record here
};

// The path's own bytes: the path of a file, ARCHIVE!/ENTRY with the entry's
// name as stored for an entry.
inline std::string RawPath(const ReadRecord& record) {
    return record.kind == ReadRecord::Kind::ARCHIVE_ENTRY ? JoinArchivePath(record.archive, record.entry_name)
                                                          : record.path;
}

// Records of archives read ahead of the output, across all reading threads.
// Past the limit a thread stops between entries and leaves the rest of its
// archive to the calling thread, so memory stays bounded however many large
// archives are in flight. Approximate: a few records may pass the limit.
class RecordBudget {
public:
    explicit RecordBudget(std::size_t limit) noexcept : limit_(limit) {}
    bool try_take() noexcept {
        if (used_.load(std::memory_order_relaxed) >= limit_) return false;
        used_.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    void take() noexcept { used_.fetch_add(1, std::memory_order_relaxed); }
    void give_back(std::size_t n) noexcept { used_.fetch_sub(n, std::memory_order_relaxed); }

private:
    std::size_t limit_;
    std::atomic<std::size_t> used_{0};
};

struct ReadJob {
    WalkEntry entry;
    std::uint64_t sequence = 0;  // the job's place in the walk, from 0
    // The first `count` hold the records read so far and not yet handed
    // out; the rest are kept for their allocations.
    std::vector<ReadRecord> records;
    std::size_t count = 0;
    std::size_t budgeted = 0;  // how many of them the record budget holds
    // An archive with more to read; null once it is over.
    std::unique_ptr<ArchiveReader> archive;
};

}  // namespace zolehead::collection
