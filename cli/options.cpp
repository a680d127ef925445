#include "options.hpp"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <thread>

#include "tool_version.hpp"

namespace zolehead_cli {

namespace {

constexpr unsigned kMaxJobs = 256;

std::string NormalizeExtension(std::string ext) {
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return ext;
}

unsigned ProcessorCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : std::min(n, kMaxJobs);
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
    CLI::App app{"Reads the song metadata in the headers of Zole music data files.", "zolehead"};
    app.set_version_flag("--version", VersionText(), "Print the tool and library versions and exit");
    app.get_formatter()->column_width(24);
    app.footer("Exit status: 0 every file read, 1 some failed, 2 usage error.");
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string("zolehead: ") + e.what() + "\nTry 'zolehead --help' for more information.\n";
    });

    Options options;
    app.add_option("PATH", options.paths, "Files to read; directories too, with -r")->required();
    app.add_flag("-r,--recursive", options.recursive, "Read every file under each directory PATH");
    std::vector<std::string> extensions;
    app.add_option("--ext", extensions, "With -r, read only files named *.EXT (repeatable, any case)")
        ->type_name("EXT")
        ->expected(1)
        ->allow_extra_args(false)
        ->delimiter(',')
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

    std::string form = "both";
    app.add_option("--form", form, "Header forms to read: a (label lines), b (keywords) or both")
        ->type_name("FORM")
        ->transform(CLI::IsMember({"a", "b", "both"}, CLI::ignore_case))
        ->capture_default_str();

    std::optional<OutputFormat> format;
    CLI::App* formats =
        app.add_option_group("Output format", "At most one; by default a table on a terminal, JSON Lines otherwise");
    formats->require_option(0, 1);
    const auto choose = [&](OutputFormat f) { return [&format, f] { format = f; }; };
    formats->add_flag_callback("--table", choose(OutputFormat::TABLE), "Aligned table for reading");
    formats->add_flag_callback("--json", choose(OutputFormat::JSON), "One JSON array of records");
    formats->add_flag_callback("--jsonl", choose(OutputFormat::JSONL), "One JSON record per line");
    formats->add_flag_callback("--csv", choose(OutputFormat::CSV), "Comma-separated values, one row per file");
    formats->add_flag_callback("--tsv", choose(OutputFormat::TSV), "Tab-separated values, one row per file");

    app.add_flag("--raw", options.raw, "Values as the file's Shift_JIS bytes (base64 in JSON)");
    unsigned jobs = 0;
    app.add_option("-j,--jobs", jobs, "Files read at once; 0 or default: one per processor")
        ->type_name("N")
        ->check(CLI::Range(0U, kMaxJobs));
    bool no_progress = false;
    app.add_flag("--no-progress", no_progress, "No progress line on stderr");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return {std::nullopt, status == 0 ? kExitAllRead : kExitUsage};
    }

    options.form = form == "a"   ? zolehead::HeaderForm::A
                   : form == "b" ? zolehead::HeaderForm::B
                                 : zolehead::HeaderForm::BOTH;
    for (std::string& ext : extensions) {
        std::string normal = NormalizeExtension(std::move(ext));
        if (!normal.empty()) options.extensions.push_back(std::move(normal));
    }
    const bool stdout_is_terminal = isatty(STDOUT_FILENO) == 1;
    options.format = format.value_or(stdout_is_terminal ? OutputFormat::TABLE : OutputFormat::JSONL);
    options.jobs = jobs == 0 ? ProcessorCount() : jobs;
    // On a terminal the records themselves show the progress.
    options.progress = !no_progress && isatty(STDERR_FILENO) == 1 && !stdout_is_terminal;
    return {std::move(options), kExitAllRead};
}

}  // namespace zolehead_cli
