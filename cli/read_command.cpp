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
#include "ordered_output.hpp"
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

    return WriteRecords(collection,
                        {format->begin(), format->separator(), [&](bool any) { return format->end(any); }},
                        progress);
}

}  // namespace

int RunReadCommand(int argc, const char* const* argv) {
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
    if (!parsed.options) return parsed.exit_status;
    return Run(*parsed.options);
}

}  // namespace zolehead_cli
