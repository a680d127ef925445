// The default command: prints the header fields of the files named, in the
// order of the walk, read on several threads.
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "collection_reader.hpp"
#include "commands.hpp"
#include "options.hpp"
#include "output_sink.hpp"
#include "progress_line.hpp"
#include "record_format.hpp"
#include "record_reader.hpp"
#include "tool_messages.hpp"

namespace zolehead_cli {

namespace {

using zolehead::collection::CollectionReader;
using zolehead::collection::FileWalker;
using zolehead::collection::ReadJob;

int Run(const Options& options) {
    const std::unique_ptr<RecordFormat> format = MakeRecordFormat(options.format);

    // One reader per reading thread, each with its own decoder; the calling
    // thread is one of them. Made here, so that a C library without CP932
    // stops the run before any output.
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
    FileWalker walker(options.walk.paths, options.walk.recursive, options.walk.extensions,
                      [&](const std::string& path, std::string_view reason) {
                          progress.message(ToolMessage(path, reason));
                      });
    CollectionReader collection(std::move(walker), options.jobs,
                                [&](ReadJob& job, unsigned thread) { readers[thread]->run(job); });

    OutputSink out(STDOUT_FILENO);
    out.write(format->begin());
    std::uint64_t written = 0;
    std::uint64_t failed = 0;
    const std::string separator = format->separator();
    while (const ReadJob* job = collection.next([&] { out.flush(); })) {
        if (written++ != 0) out.write(separator);
        out.write(job->output);
        if (!job->error.empty()) {
            ++failed;
            out.flush();  // the message after its record, when both reach one screen
            progress.message(ToolMessage(job->entry.path, job->error));
        }
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

int RunReadCommand(int argc, const char* const* argv) {
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
    if (!parsed.options) return parsed.exit_status;
    return Run(*parsed.options);
}

}  // namespace zolehead_cli
