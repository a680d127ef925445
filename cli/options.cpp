#include "options.hpp"

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "byte_size.hpp"
#include "commands.hpp"
#include "file_walker.hpp"
#include "tool_version.hpp"

namespace zolehead_cli {

namespace {

constexpr unsigned kMaxJobs = 256;

unsigned ProcessorCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : std::min(n, kMaxJobs);
}

}  // namespace

void SetUpApp(CLI::App& app, const std::string& name) {
    app.name(name);
    app.set_version_flag("--version", VersionText(), "Print the tool and library versions and exit");
    app.get_formatter()->column_width(24);
    app.failure_message([name](const CLI::App*, const CLI::Error& e) {
        return name + ": " + e.what() + "\nTry '" + name + " --help' for more information.\n";
    });
}

void AddWalkOptions(CLI::App& app, WalkOptions& walk, std::vector<std::string>& raw_extensions) {
    app.add_flag("-r,--recursive", walk.recursive, "Read every file under each directory PATH");
    app.add_option("--ext", raw_extensions, "With -r, only files named *.EXT (repeatable, any case; archive entries too)")
        ->type_name("EXT")
        ->expected(1)
        ->allow_extra_args(false)
        ->delimiter(',')
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void AddArchiveOptions(CLI::App& app, WalkOptions& walk) {
    app.add_flag("-z,--archives", walk.archives, "Read the files inside archives (LZH, ZIP, 7z, tar) as ARCHIVE!/ENTRY");
    const CLI::Validator size_check(
        [](std::string& text) { return ParseByteSize(text) ? std::string() : "not a size: " + text; }, "");
    app.add_option_function<std::string>(
           "--max-entry-size", [&walk](const std::string& text) { walk.max_entry_size = *ParseByteSize(text); },
           "With -z, stop reading an entry that decompresses past SIZE (default 256M)")
        ->type_name("SIZE")
        ->check(size_check);
}

void FinishWalkOptions(WalkOptions& walk, std::vector<std::string> raw_extensions) {
    walk.extensions.clear();
    for (std::string& ext : raw_extensions) {
        std::string normal = zolehead::collection::NormalizeExtension(std::move(ext));
        if (!normal.empty()) walk.extensions.push_back(std::move(normal));
    }
}

void AddFormatOptions(CLI::App& app, std::optional<OutputFormat>& format) {
    CLI::App* formats =
        app.add_option_group("Output format", "At most one; by default a table on a terminal, JSON Lines otherwise");
    formats->require_option(0, 1);
    const auto choose = [&format](OutputFormat f) { return [&format, f] { format = f; }; };
    formats->add_flag_callback("--table", choose(OutputFormat::TABLE), "Aligned table for reading");
    formats->add_flag_callback("--json", choose(OutputFormat::JSON), "One JSON array of records");
    formats->add_flag_callback("--jsonl", choose(OutputFormat::JSONL), "One JSON record per line");
    formats->add_flag_callback("--csv", choose(OutputFormat::CSV), "Comma-separated values, one row per file");
    formats->add_flag_callback("--tsv", choose(OutputFormat::TSV), "Tab-separated values, one row per file");
}

OutputFormat ResolveFormat(const std::optional<OutputFormat>& format) {
    return format.value_or(isatty(STDOUT_FILENO) == 1 ? OutputFormat::TABLE : OutputFormat::JSONL);
}

void AddJobsOption(CLI::App& app, unsigned& jobs) {
    app.add_option("-j,--jobs", jobs, "Files read at once; 0 or default: one per processor")
        ->type_name("N")
        ->check(CLI::Range(0U, kMaxJobs));
}

unsigned ResolveJobs(unsigned jobs) { return jobs == 0 ? ProcessorCount() : jobs; }

bool WantProgress(bool no_progress) {
    // On a terminal the records themselves show the progress.
    return !no_progress && isatty(STDERR_FILENO) == 1 && isatty(STDOUT_FILENO) != 1;
}

std::optional<int> ParseOrExit(CLI::App& app, int argc, const char* const* argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? kExitAllRead : kExitUsage;
    }
    return std::nullopt;
}

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
    CLI::App app{"Reads the song metadata in the headers of Zole music data files."};
    SetUpApp(app, "zolehead");
    const std::string commands = CommandsHelp();
    app.footer(commands + (commands.empty() ? "" : "\n") + "Exit status: 0 every file read, 1 some failed, 2 usage error.");

    Options options;
    std::vector<std::string> extensions;
    app.add_option("PATH", options.walk.paths, "Files to read; directories too, with -r")->required();
    AddWalkOptions(app, options.walk, extensions);
    AddArchiveOptions(app, options.walk);

    std::string form = "both";
    app.add_option("--form", form, "Header forms to read: a (label lines), b (keywords) or both")
        ->type_name("FORM")
        ->transform(CLI::IsMember({"a", "b", "both"}, CLI::ignore_case))
        ->capture_default_str();

    std::optional<OutputFormat> format;
    AddFormatOptions(app, format);
    app.add_flag("--raw", options.raw, "Values as the file's Shift_JIS bytes (base64 in JSON)");
    unsigned jobs = 0;
    AddJobsOption(app, jobs);
    bool no_progress = false;
    app.add_flag("--no-progress", no_progress, "No progress line on stderr");

    if (const std::optional<int> status = ParseOrExit(app, argc, argv)) return {std::nullopt, *status};

    options.form = form == "a"   ? zolehead::HeaderForm::A
                   : form == "b" ? zolehead::HeaderForm::B
                                 : zolehead::HeaderForm::BOTH;
    FinishWalkOptions(options.walk, std::move(extensions));
    options.format = ResolveFormat(format);
    options.jobs = ResolveJobs(jobs);
    options.progress = WantProgress(no_progress);
    return {std::move(options), kExitAllRead};
}

}  // namespace zolehead_cli
