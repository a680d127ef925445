#include "edit_run.hpp"

#include <signal.h>
#include <unistd.h>

#include <memory>
#include <system_error>
#include <vector>

#include "ordered_walk.hpp"
#include "ordered_output.hpp"
#include "progress_line.hpp"
#include "tool_messages.hpp"

namespace zolehead_cli {

namespace {

using zolehead::collection::OrderedWalk;
using zolehead::collection::WorkJob;
using zolehead::edit::EditStatus;

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

bool IsEditorsOwnFile(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && name.ends_with(".bak")) return true;
    if (const std::size_t bak = name.rfind(".bak."); bak != std::string_view::npos && bak > 0 &&
                                                     AllDigits(name.substr(bak + 5))) {
        return true;
    }
    if (const std::size_t tmp = name.rfind(".zolehead-"); name.starts_with(".") && tmp != std::string_view::npos &&
                                                          name.size() - tmp == 16) {
        return true;
    }
    return false;
}

int RunEdits(zolehead::collection::FileWalker walker, const EditRunSettings& settings, const EditWork& work) {
    // A write past a file size limit must fail with EFBIG, not end the run.
    signal(SIGXFSZ, SIG_IGN);

    std::vector<std::unique_ptr<EditThread>> threads;
    try {
        for (unsigned i = 0; i < settings.jobs; ++i) threads.push_back(std::make_unique<EditThread>());
    } catch (const std::system_error& e) {
        ProgressLine(false).message(std::string("zolehead: ") + e.what());
        return kExitUsage;
    }
    const std::unique_ptr<EditRecordFormat> format = MakeEditRecordFormat(settings.format);

    ProgressLine progress(settings.progress);
    OrderedWalk<WorkJob> collection(std::move(walker), settings.jobs, [&](WorkJob& job, unsigned thread) {
        job.output.clear();
        job.error.clear();
        EditOutcome outcome;
        if (!job.entry.failure.empty()) {
            outcome.result.path = job.entry.path;
            outcome.result.status = EditStatus::FAILED;
            outcome.result.problem = zolehead::edit::Problem::CANNOT_OPEN;
            outcome.result.reason = job.entry.failure;
        } else {
            work(job.entry, job.sequence, *threads[thread], outcome);
        }
        if (outcome.omitted) return;
        format->render(outcome, settings.show_lines, job.output);
        if (outcome.failed()) job.error = outcome.result.reason;
    });

    return WriteRecords(collection,
                        {format->begin(), format->separator(), [&](bool any) { return format->end(any); }},
                        progress)
        .exit_status();
}

}  // namespace zolehead_cli
