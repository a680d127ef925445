#include "ordered_output.hpp"

#include <unistd.h>

#include <cstdint>
#include <system_error>

#include "options.hpp"
#include "output_sink.hpp"
#include "tool_messages.hpp"

namespace zolehead_cli {

int WriteRecords(zolehead::collection::CollectionReader& collection, const RecordFraming& framing,
                 ProgressLine& progress) {
    OutputSink out(STDOUT_FILENO);
    out.write(framing.begin);
    std::uint64_t written = 0;
    std::uint64_t failed = 0;
    while (const zolehead::collection::ReadJob* job = collection.next([&] { out.flush(); })) {
        if (job->output.empty()) continue;
        if (written++ != 0) out.write(framing.separator);
        out.write(job->output);
        if (!job->error.empty()) {
            ++failed;
            out.flush();  // the message after its record, when both reach one screen
            progress.message(ToolMessage(job->entry.path, job->error));
        }
        out.flush_if_stale();
        progress.update(written, failed);
    }
    out.write(framing.end(written != 0));
    out.flush();
    progress.clear();

    if (out.error() != 0) {
        progress.message("zolehead: cannot write the output: " + std::generic_category().message(out.error()));
        return kExitSomeFailed;
    }
    return failed == 0 ? kExitAllRead : kExitSomeFailed;
}

}  // namespace zolehead_cli
