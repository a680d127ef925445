#include "job_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive_path.hpp"
#include "entry_name_text.hpp"
#include "entry_reader.hpp"

namespace zolehead::collection {

namespace {

// Records per chunk of an archive: large enough that a thread reads a
// typical archive whole, small enough that a huge one takes turns.
constexpr std::size_t kRecordsPerChunk = 512;
// Records a job keeps allocated between uses: a slot that held a chunk of an
// archive gives the rest back, or every slot of the window could end up
// holding a chunk's worth.
constexpr std::size_t kRecordsKept = 4;

}  // namespace

JobReader::JobReader(const ReadSettings& settings, RecordBudget& budget, const RecordHook& hook, unsigned thread)
    : settings_(settings), budget_(budget), hook_(hook), thread_(thread) {
    if (settings.archives) names_.emplace();
}

void JobReader::start(ReadJob& job) {
    job.count = 0;
    job.budgeted = 0;
    job.archive.reset();
    if (job.records.size() > kRecordsKept) {
        job.records.resize(kRecordsKept);
        job.records.shrink_to_fit();
    }
    if (!settings_.archives || !job.entry.failure.empty()) {
        read_file(job);
        return;
    }
    // As the core opens files: a FIFO without a writer must not block.
    const int fd = open(job.entry.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) close(fd);
        // The core says what is wrong with it, in its usual words; a file
        // the extension filter passed over is not reported.
        if (job.entry.name_wanted) read_file(job);
        return;
    }
    std::string error;
    switch (ArchiveReader::OpenFile(fd, settings_, job.archive, error)) {
    case ArchiveReader::Opened::ARCHIVE: read_archive(job, true); return;
    case ArchiveReader::Opened::NOT_AN_ARCHIVE:
        if (job.entry.name_wanted) read_file(job);
        return;
    case ArchiveReader::Opened::FAILED: {
        ReadRecord& record = add(job, ReadRecord::Kind::FILE);
        record.path = job.entry.path;
        record.header.clear();
        record.error = std::move(error);
        finish(record);
        return;
    }
    }
}

void JobReader::resume(ReadJob& job) {
    job.count = 0;
    job.budgeted = 0;
    if (job.archive) read_archive(job, false);
}

void JobReader::read_file(ReadJob& job) {
    ReadRecord& record = add(job, ReadRecord::Kind::FILE);
    record.path = job.entry.path;
    record.system_error = ReadEntry(job.entry, settings_.form, record.header, record.error);
    finish(record);
}

void JobReader::read_archive(ReadJob& job, bool budgeted) {
    while (job.count < kRecordsPerChunk) {
        bool counted = false;
        if (budgeted) {
            // A chunk holds at least one record, so that every job moves on.
            if (job.count == 0) {
                budget_.take();
            } else if (!budget_.try_take()) {
                return;
            }
            counted = true;
        }
        if (!job.archive->next(entry_)) {
            if (counted) budget_.give_back(1);
            job.archive.reset();
            return;
        }
        if (counted) ++job.budgeted;
        ReadRecord& record = add(job, entry_.about_archive ? ReadRecord::Kind::WHOLE_ARCHIVE
                                                           : ReadRecord::Kind::ARCHIVE_ENTRY);
        record.archive = job.entry.path;
        record.path = job.entry.path;
        if (!entry_.about_archive) {
            record.entry_name = entry_.name;
            record.path += kArchiveSeparator;
            AppendEntryNameText(entry_.name, *names_, record.path);
        }
        record.header = entry_.header;
        record.error = entry_.error;
        finish(record);
    }
}

ReadRecord& JobReader::add(ReadJob& job, ReadRecord::Kind kind) {
    if (job.records.size() == job.count) job.records.emplace_back();
    ReadRecord& record = job.records[job.count++];
    record.kind = kind;
    record.archive.clear();
    record.entry_name.clear();
    record.system_error = 0;
    record.output.clear();
    return record;
}

void JobReader::finish(ReadRecord& record) {
    if (hook_) hook_(record, thread_);
}

}  // namespace zolehead::collection
