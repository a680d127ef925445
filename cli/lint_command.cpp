// `zolehead lint`: the near misses in the headers of the files named, one
// warning a line in the form compilers use, or as JSON.
#include <algorithm>
#include <string>
#include <vector>

#include "commands.hpp"
#include "explain_run.hpp"
#include "text_escape.hpp"

namespace zolehead_cli {

namespace {

using zolehead::explain::kLintCodes;

// The codes, one a line, for --help.
std::string CodesHelp() {
    std::size_t width = 0;
    for (const auto& c : kLintCodes) width = std::max(width, c.code.size());
    std::string text = "Warning codes (for --ignore):\n";
    for (const auto& c : kLintCodes) {
        text += "  ";
        text += c.code;
        text.append(width - c.code.size() + 3, ' ');
        text += c.summary;
        text += '\n';
    }
    return text;
}

// PATH:LINE:COLUMN: warning: MESSAGE [code]
void AppendWarningLine(std::string& out, std::string_view path, const zolehead::explain::Warning& w) {
    AppendPrintable(out, path);
    out += ':' + std::to_string(w.at.line) + ':' + std::to_string(w.at.column) + ": warning: ";
    AppendPrintable(out, w.message);
    out += " [";
    out += w.code;
    out += "]\n";
}

}  // namespace

int RunLintCommand(int argc, const char* const* argv) {
    CLI::App app{
        "Finds the near misses in the headers of Zole music data files, which the readers skip without a word: "
        "one warning a line, PATH:LINE:COLUMN: warning: MESSAGE [code]."};
    SetUpApp(app, "zolehead lint");
    app.footer(CodesHelp() +
               "\nColumns count characters (a double-byte character is one). Exit status: 0 no warning, 1 some "
               "warning or a file that could not be read, 2 usage error.");

    std::vector<std::string> ignore;
    app.add_option("--ignore", ignore, "Do not report warnings with this code (repeatable or comma-separated)")
        ->type_name("CODE")
        ->expected(1)
        ->allow_extra_args(false)
        ->delimiter(',')
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::Validator(
            [](std::string& code) {
                return zolehead::explain::IsLintCode(code) ? std::string() : "no warning has the code " + code;
            },
            ""));
    const ParsedExplainRun parsed = ParseExplainRun(app, "Files to check; directories too, with -r", argc, argv);
    if (!parsed.options) return parsed.exit_status;
    const ExplainRunOptions& options = *parsed.options;

    const ExplainRunTotals totals = RunExplainers(
        options, "", [&](zolehead::explain::FileExplainer& explainer, zolehead::collection::WorkJob& job) {
            std::vector<zolehead::explain::Warning> warnings;
            const bool read = explainer.lint(job.entry, ignore, warnings, job.error);
            job.findings = warnings.size();
            if (options.output != ExplainOutput::TEXT) {
                job.output = JsonRecordText(read ? zolehead::explain::WarningsJson(job.entry.path, warnings)
                                                 : zolehead::explain::ErrorJson(job.entry.path, job.error),
                                            options.output);
            } else {
                for (const auto& w : warnings) AppendWarningLine(job.output, job.entry.path, w);
            }
        });
    if (totals.stopped) return *totals.stopped;
    return totals.findings == 0 && totals.failed == 0 ? kExitAllRead : kExitSomeFailed;
}

}  // namespace zolehead_cli
