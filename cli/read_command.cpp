// The default command: prints the header fields of the files named, in the
// order of the walk, read on several threads.
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "collection_reader.hpp"
#include "commands.hpp"
#include "options.hpp"
#include "ordered_output.hpp"
#include "progress_line.hpp"
#include "record_format.hpp"
#include "record_renderer.hpp"
#include "tool_messages.hpp"

namespace zolehead_cli {

namespace {

using zolehead::collection::CollectionReader;
using zolehead::collection::FileWalker;
using zolehead::collection::ReadRecord;
using zolehead::collection::ReadSettings;

int Run(const Options& options) {
    const std::unique_ptr<RecordFormat> format = MakeRecordFormat(options.format);

    // One renderer per reading thread, each with its own decoder; the calling
    // thread is one of them. Made here, so that a C library without CP932
    // stops the run before any output.
    std::vector<std::unique_ptr<RecordRenderer>> renderers;
    try {
        for (unsigned i = 0; i < options.jobs; ++i) {
            renderers.push_back(std::make_unique<RecordRenderer>(options.raw, *format));
        }
    } catch (const std::system_error& e) {
        ProgressLine(false).message(std::string("zolehead: ") + e.what() + " (use --raw for the bytes)");
        return kExitUsage;
    }

    ProgressLine progress(options.progress);
    FileWalker walker(
        options.walk.paths, options.walk.recursive, options.walk.extensions,
        [&](const std::string& path, std::string_view reason) { progress.message(ToolMessage(path, reason)); },
        options.walk.archives);
    ReadSettings settings;
    settings.form = options.form;
    settings.archives = options.walk.archives;
    settings.max_entry_size = options.walk.max_entry_size;
    settings.extensions = options.walk.extensions;
    std::optional<CollectionReader> collection;
    try {
        collection.emplace(std::move(walker), options.jobs, std::move(settings),
                           [&](ReadRecord& record, unsigned thread) { renderers[thread]->render(record); });
    } catch (const std::system_error& e) {
        // Entry names inside archives need the conversion even with --raw.
        ProgressLine(false).message(std::string("zolehead: ") + e.what());
        return kExitUsage;
    }

    return WriteRecords(*collection,
                        {format->begin(), format->separator(), [&](bool any) { return format->end(any); }},
                        progress)
        .exit_status();
}

}  // namespace

int RunReadCommand(int argc, const char* const* argv) {
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
    if (!parsed.options) return parsed.exit_status;
    return Run(*parsed.options);
}

}  // namespace zolehead_cli
