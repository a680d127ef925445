// zolehead: prints the header fields of Zole music data files.
//
// The main thread walks the paths and writes the records; it and the worker
// threads read and render them. Records come out in the order of the walk.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "file_walker.hpp"
#include "options.hpp"
#include "ordered_pipeline.hpp"
#include "output_sink.hpp"
#include "progress_line.hpp"
#include "record_format.hpp"
#include "record_reader.hpp"
#include "text_escape.hpp"

namespace zolehead_cli {

namespace {

// Jobs in flight per reading thread: enough to keep every thread busy while
// one slow file holds up the output.
constexpr std::size_t kJobsPerThread = 64;
constexpr std::size_t kMinWindow = 256;

std::string Message(std::string_view path, std::string_view reason) {
    std::string line = "zolehead: ";
    AppendPrintable(line, path);
    line += ": ";
    line += reason;
    return line;
}

int Run(const Options& options) {
    const std::unique_ptr<RecordFormat> format = MakeRecordFormat(options.format);

    // One reader per reading thread, each with its own decoder; the main
    // thread is one of them. Made here, so that a C library without CP932
    // stops the run before any output.
    const unsigned workers = options.jobs - 1;
    std::vector<std::unique_ptr<RecordReader>> readers;
    try {
        for (unsigned i = 0; i < options.jobs; ++i) {
            readers.push_back(std::make_unique<RecordReader>(options.form, options.raw, *format));
        }
    } catch (const std::system_error& e) {
        ProgressLine(false).message(std::string("zolehead: ") + e.what() + " (use --raw for the bytes)");
        return kExitUsage;
    }

    ProgressLine progress(options.progress);
    FileWalker walker(
        options.paths, options.recursive, options.extensions,
        [&](const std::string& path, std::string_view reason) { progress.message(Message(path, reason)); });
    const std::size_t window = std::max(kMinWindow, kJobsPerThread * options.jobs);
    OrderedPipeline pipeline(workers, window, [&](ReadJob& job, unsigned reader) { readers[reader]->run(job); });

    OutputSink out(STDOUT_FILENO);
    out.write(format->begin());
    std::uint64_t written = 0;
    std::uint64_t failed = 0;
    const std::string separator = format->separator();
    const std::size_t refill_at = window / 4;
    bool walking = true;
    for (;;) {
        if (walking && (pipeline.free_slots() >= refill_at || !pipeline.pending())) {
            while (pipeline.free_slots() > 0 && (walking = walker.next(pipeline.next_slot().entry))) pipeline.stage();
            pipeline.publish();
        }
        if (!pipeline.pending()) break;
        // Read rather than wait; before waiting, hand over what is ready.
        while (!pipeline.oldest_done()) {
            if (!pipeline.run_one()) {
                out.flush();
                break;
            }
        }
        const ReadJob& job = pipeline.wait_oldest();
        if (written++ != 0) out.write(separator);
        out.write(job.output);
        if (!job.error.empty()) {
            ++failed;
            out.flush();  // the message after its record, when both reach one screen
            progress.message(Message(job.entry.path, job.error));
        }
        pipeline.release_oldest();
        out.flush_if_stale();
        progress.update(written, failed);
    }
    out.write(format->end(written != 0));
    out.flush();
    progress.clear();

    if (out.error() != 0) {
        progress.message("zolehead: cannot write the output: " + std::generic_category().message(out.error()));
        return kExitSomeFailed;
    }
    return failed == 0 ? kExitAllRead : kExitSomeFailed;
}

}  // namespace

}  // namespace zolehead_cli

int main(int argc, char** argv) {
    const zolehead_cli::ParsedCommandLine parsed = zolehead_cli::ParseCommandLine(argc, argv);
    if (!parsed.options) return parsed.exit_status;
    return zolehead_cli::Run(*parsed.options);
}
