#include "explain_run.hpp"

#include <unistd.h>

#include <memory>
#include <system_error>
#include <vector>

#include "ordered_output.hpp"
#include "ordered_walk.hpp"

namespace zolehead_cli {

using zolehead::collection::FileWalker;
using zolehead::collection::OrderedWalk;
using zolehead::collection::WorkJob;
using zolehead::explain::FileExplainer;

ParsedExplainRun ParseExplainRun(CLI::App& app, const std::string& path_help, int argc, const char* const* argv) {
    ExplainRunOptions options;
    std::vector<std::string> extensions;
    app.add_option("PATH", options.walk.paths, path_help)->required();
    AddWalkOptions(app, options.walk, extensions);
    CLI::App* formats = app.add_option_group("Output format", "At most one; by default text for reading (UTF-8)");
    formats->require_option(0, 1);
    ExplainOutput& output = options.output;
    formats->add_flag_callback("--json", [&output] { output = ExplainOutput::JSON; }, "One JSON array of records");
    formats->add_flag_callback("--jsonl", [&output] { output = ExplainOutput::JSONL; }, "One JSON record per line");
    unsigned jobs = 0;
    AddJobsOption(app, jobs);
    if (const std::optional<int> status = ParseOrExit(app, argc, argv)) return {std::nullopt, *status};
    FinishWalkOptions(options.walk, std::move(extensions));
    options.jobs = ResolveJobs(jobs);
    return {std::move(options), kExitAllRead};
}

std::string JsonRecordText(const zolehead::explain::Json& record, ExplainOutput output) {
    if (output != ExplainOutput::JSON) return zolehead::explain::DumpJson(record) + "\n";
    // Indented one step further, inside the array.
    const std::string text = zolehead::explain::DumpJson(record, 2);
    std::string out = "  ";
    for (const char c : text) {
        out += c;
        if (c == '\n') out += "  ";
    }
    return out;
}

ExplainRunTotals RunExplainers(const ExplainRunOptions& options, std::string_view text_separator,
                                              const ExplainWork& work) {
    ProgressLine messages(false);
    // One explainer per reading thread, each with its own decoder; made here,
    // so that a C library without CP932 stops the run before any output.
    std::vector<std::unique_ptr<FileExplainer>> explainers;
    try {
        for (unsigned i = 0; i < options.jobs; ++i) explainers.push_back(std::make_unique<FileExplainer>());
    } catch (const std::system_error& e) {
        messages.message(std::string("zolehead: ") + e.what());
        return {0, 0, kExitUsage};
    }

    FileWalker walker(options.walk.paths, options.walk.recursive, options.walk.extensions,
                      [&](const std::string& path, std::string_view reason) {
                          messages.message(ToolMessage(path, reason));
                      });
    OrderedWalk<WorkJob> collection(std::move(walker), options.jobs, [&](WorkJob& job, unsigned thread) {
        job.output.clear();
        job.error.clear();
        job.findings = 0;
        work(*explainers[thread], job);
    });

    const bool json = options.output != ExplainOutput::TEXT;
    const bool array = options.output == ExplainOutput::JSON;
    const RecordFraming framing{array ? "[\n" : "", array ? ",\n" : json ? "" : std::string(text_separator),
                                [array](bool any) { return !array ? std::string() : any ? "\n]\n" : "]\n"; }};
    const RecordTotals written = WriteRecords(collection, framing, messages);
    ExplainRunTotals totals;
    totals.failed = written.failed;
    totals.findings = written.findings;
    if (written.output_failed) totals.stopped = kExitSomeFailed;
    return totals;
}

}  // namespace zolehead_cli
