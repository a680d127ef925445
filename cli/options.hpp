// What the user asked for on the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zolehead.hpp"

namespace zolehead_cli {

enum class OutputFormat { TABLE, JSON, JSONL, CSV, TSV };

struct Options {
    std::vector<std::string> paths;
    bool recursive = false;
    std::vector<std::string> extensions;  // lower case, no leading dot; empty: every file
    zolehead::HeaderForm form = zolehead::HeaderForm::BOTH;
    OutputFormat format = OutputFormat::JSONL;
    bool raw = false;       // the file's own bytes instead of UTF-8
    unsigned jobs = 1;      // reading threads
    bool progress = false;  // a progress line on stderr
};

// Exit statuses, shared by the whole tool.
inline constexpr int kExitAllRead = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

struct ParsedCommandLine {
    std::optional<Options> options;  // empty when the run is over already
    int exit_status = kExitAllRead;  // for --help, --version and usage errors
};

// Parses argv. Help, version and usage errors are printed here; terminal
// detection picks the defaults that depend on it.
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace zolehead_cli
