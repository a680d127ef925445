// Writes the records of a collection run to standard output in walk order,
// framed by the format, with a line on standard error for each record that
// carries an error. Shared by reading, editing, explain and lint.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

#include "output_sink.hpp"
#include "progress_line.hpp"
#include "read_job.hpp"
#include "tool_messages.hpp"
#include "work_job.hpp"

namespace zolehead_cli {

struct RecordFraming {
    std::string begin;
    std::string separator;                     // between two records
    std::function<std::string(bool any)> end;  // `any`: some record was written
};

struct RecordTotals {
    std::uint64_t written = 0;
    std::uint64_t failed = 0;    // records with an error
    std::uint64_t findings = 0;  // what the work counted (lint's warnings)
    bool output_failed = false;  // the output could not be written (said on stderr)

    // kExitAllRead, or kExitSomeFailed when a record had an error or the
    // output failed.
    int exit_status() const noexcept { return failed == 0 && !output_failed ? 0 : 1; }
};

// What a record of each kind of run offers the writer.
inline const std::string& RecordPath(const zolehead::collection::ReadRecord& r) { return r.path; }
inline const std::string& RecordPath(const zolehead::collection::WorkJob& j) { return j.entry.path; }
inline std::uint64_t RecordFindings(const zolehead::collection::ReadRecord&) { return 0; }
inline std::uint64_t RecordFindings(const zolehead::collection::WorkJob& j) { return j.findings; }

// Takes every record from `source` (a CollectionReader or an OrderedWalk)
// and writes its output; a record with an empty output writes nothing.
template <class Source>
RecordTotals WriteRecords(Source& source, const RecordFraming& framing, ProgressLine& progress) {
    OutputSink out(STDOUT_FILENO);
    out.write(framing.begin);
    RecordTotals totals;
    while (const auto* record = source.next([&] { out.flush(); })) {
        totals.findings += RecordFindings(*record);
        if (!record->output.empty()) {
            if (totals.written++ != 0) out.write(framing.separator);
            out.write(record->output);
        }
        if (!record->error.empty()) {
            ++totals.failed;
            out.flush();  // the message after its record, when both reach one screen
            progress.message(ToolMessage(RecordPath(*record), record->error));
        }
        out.flush_if_stale();
        progress.update(totals.written, totals.failed);
    }
    out.write(framing.end(totals.written != 0));
    out.flush();
    progress.clear();
    if (out.error() != 0) {
        progress.message("zolehead: cannot write the output: " + std::generic_category().message(out.error()));
        totals.output_failed = true;
    }
    return totals;
}

}  // namespace zolehead_cli
