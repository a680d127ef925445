// How explain and lint go over their files: the shared walk, one
// FileExplainer per reading thread, and each file's output written in walk
// order, as text or as JSON records.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "file_explainer.hpp"
#include "options.hpp"
#include "work_job.hpp"

namespace zolehead_cli {

enum class ExplainOutput { TEXT, JSON, JSONL };

struct ExplainRunOptions {
    WalkOptions walk;
    ExplainOutput output = ExplainOutput::TEXT;
    unsigned jobs = 1;
};

// Adds PATH (described by `path_help`), -r, --ext, --json/--jsonl and -j to
// `app`, which may carry options of its own, and parses. Returns the options,
// or the exit status when the run is over already (--help, a usage error).
struct ParsedExplainRun {
    std::optional<ExplainRunOptions> options;
    int exit_status = kExitAllRead;
};
ParsedExplainRun ParseExplainRun(CLI::App& app, const std::string& path_help, int argc, const char* const* argv);

// Works on one file on a reading thread: fills job.output with the file's
// text or JSON record (see JsonRecordText), job.error when the file could not
// be read, and job.findings with what it counted.
using ExplainWork = std::function<void(zolehead::explain::FileExplainer& explainer, zolehead::collection::WorkJob& job)>;

struct ExplainRunTotals {
    std::uint64_t failed = 0;    // files that could not be read
    std::uint64_t findings = 0;  // the sum of job.findings
    // The exit status when the run could not start (2) or its output could
    // not be written (1), with a message printed; empty otherwise.
    std::optional<int> stopped;
};

// Runs `work` over the files. `text_separator` goes between the outputs of
// two files in text mode. Messages for unreadable files go to stderr.
ExplainRunTotals RunExplainers(const ExplainRunOptions& options, std::string_view text_separator,
                                              const ExplainWork& work);

// A record as the chosen JSON output writes it: on one line for JSON Lines,
// indented inside the array for JSON.
std::string JsonRecordText(const zolehead::explain::Json& record, ExplainOutput output);

}  // namespace zolehead_cli
