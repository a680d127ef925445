// `zolehead explain`: why each header field of the files named reads as it
// does, entry by entry, as text or JSON.
#include <string>
#include <vector>

#include "commands.hpp"
#include "explain_run.hpp"
#include "story_text.hpp"
#include "text_escape.hpp"

namespace zolehead_cli {

int RunExplainCommand(int argc, const char* const* argv) {
    CLI::App app{
        "Tells why each header field of Zole music data files reads as it does: every entry that touched it, in "
        "file order, with its line and column, and what the form A, form B and combined readers made of it."};
    SetUpApp(app, "zolehead explain");
    app.footer("Exit status: 0 every file explained, 1 some could not be read, 2 usage error.");

    const ParsedExplainRun parsed = ParseExplainRun(app, "Files to explain; directories too, with -r", argc, argv);
    if (!parsed.options) return parsed.exit_status;
    const ExplainRunOptions& options = *parsed.options;

    const ExplainRunTotals totals = RunExplainers(
        options, "\n", [&](zolehead::explain::FileExplainer& explainer, zolehead::collection::WorkJob& job) {
            zolehead::explain::Story story;
            const bool read = explainer.explain(job.entry, story, job.error);
            if (options.output != ExplainOutput::TEXT) {
                job.output = JsonRecordText(read ? zolehead::explain::StoryJson(job.entry.path, story, explainer.decoder())
                                                 : zolehead::explain::ErrorJson(job.entry.path, job.error),
                                            options.output);
            } else if (read) {
                AppendStoryText(job.output, job.entry.path, story, explainer.decoder());
            } else {
                AppendPrintable(job.output, job.entry.path);
                job.output += "\n  error: ";
                AppendPrintable(job.output, job.error);
                job.output += '\n';
            }
        });
    if (totals.stopped) return *totals.stopped;
    return totals.failed == 0 ? kExitAllRead : kExitSomeFailed;
}

}  // namespace zolehead_cli
