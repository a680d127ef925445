// Command-line pieces shared by the tool's commands: the walk options, the
// output format choice, -j, and how a parse ends.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "read_settings.hpp"
#include "zolehead.hpp"

namespace zolehead_cli {

enum class OutputFormat { TABLE, JSON, JSONL, CSV, TSV };

// Exit statuses, shared by the whole tool.
inline constexpr int kExitAllRead = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// How PATH arguments become files.
struct WalkOptions {
    std::vector<std::string> paths;
    bool recursive = false;
    std::vector<std::string> extensions;  // lower case, no leading dot; empty: every file
    bool archives = false;                // read the files inside archives
    std::uint64_t max_entry_size = zolehead::collection::kDefaultMaxEntrySize;
};

// What the read command (the default) was asked for.
struct Options {
    WalkOptions walk;
    zolehead::HeaderForm form = zolehead::HeaderForm::BOTH;
    OutputFormat format = OutputFormat::JSONL;
    bool raw = false;       // the file's own bytes instead of UTF-8
    unsigned jobs = 1;      // reading threads
    bool progress = false;  // a progress line on stderr
};

struct ParsedCommandLine {
    std::optional<Options> options;  // empty when the run is over already
    int exit_status = kExitAllRead;  // for --help, --version and usage errors
};

// Parses the read command's argv. Help, version and usage errors are printed
// here; terminal detection picks the defaults that depend on it.
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

// --- Building blocks for every command ---------------------------------------

// An app named "zolehead" or "zolehead COMMAND", with the tool's usage-error
// message and --version.
void SetUpApp(CLI::App& app, const std::string& name);

// -r and --ext; `raw_extensions` is normalised by FinishWalkOptions.
void AddWalkOptions(CLI::App& app, WalkOptions& walk, std::vector<std::string>& raw_extensions);
// -z and --max-entry-size, for the commands that read inside archives.
void AddArchiveOptions(CLI::App& app, WalkOptions& walk);
void FinishWalkOptions(WalkOptions& walk, std::vector<std::string> raw_extensions);

// --table, --json, --jsonl, --csv, --tsv: at most one.
void AddFormatOptions(CLI::App& app, std::optional<OutputFormat>& format);
// The chosen format, or a table on a terminal and JSON Lines otherwise.
OutputFormat ResolveFormat(const std::optional<OutputFormat>& format);

// -j/--jobs N; 0 means one per processor.
void AddJobsOption(CLI::App& app, unsigned& jobs);
unsigned ResolveJobs(unsigned jobs);

// Whether to draw a progress line on stderr.
bool WantProgress(bool no_progress);

// Parses; on --help, --version or a usage error prints what CLI11 prints and
// returns the exit status, otherwise returns nullopt.
std::optional<int> ParseOrExit(CLI::App& app, int argc, const char* const* argv);

}  // namespace zolehead_cli
