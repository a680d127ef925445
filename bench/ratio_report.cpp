#include "ratio_report.hpp"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <string_view>

namespace zolehead_bench {

namespace {

const char* const kForms[] = {"combined", "form_a", "form_b"};

// Missing figures are NaN all the way through.
constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

std::string Fixed(double value, int decimals) {
    if (std::isnan(value)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double Ratio(double numerator, double denominator) { return denominator > 0 ? numerator / denominator : kMissing; }

struct Target {
    std::string what;
    double value;
    double limit;
    bool at_most;  // value must be <= limit (else >= limit)
};

}  // namespace

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.error_occurred) continue;
        const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        const std::string& name = run.run_name.function_name;
        if (run.repetitions > repetitions_) repetitions_ = static_cast<int>(run.repetitions);
        if (run.run_type == Run::RT_Aggregate) {
            if (run.aggregate_name == "median") medians_[name] = seconds;
        } else {
            singles_[name] = seconds;
        }
    }
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    PrintRatios(GetOutputStream());
}

double RatioReporter::seconds(const std::string& name) const {
    if (auto it = medians_.find(name); it != medians_.end()) return it->second;
    if (auto it = singles_.find(name); it != singles_.end()) return it->second;
    return kMissing;
}

double RatioReporter::bytes_of(const std::string& input) const {
    for (const Input& in : inputs_) {
        if (in.name == input) return in.bytes;
    }
    return 0;
}

int RatioReporter::files_of(const std::string& input) const {
    for (const Input& in : inputs_) {
        if (in.name == input) return in.files;
    }
    return 0;
}

void RatioReporter::PrintRatios(std::ostream& out) const {
    std::vector<Target> targets;
    out << "\n## Ratios ("
        << (medians_.empty() ? std::string("single run") : "median real time of " + std::to_string(repetitions_) + " runs")
        << ")\n\n"
        << "| input | reader | MB/s | time / read-only floor | time / memchr floor | fgetc time / time |\n"
        << "|---|---|---:|---:|---:|---:|\n";
    for (const Input& in : inputs_) {
        if (in.name == "collection") continue;
        const double floor = seconds(in.name + "/open_read_close");
        out << "| " << in.name << " | read-only floor | " << Fixed(in.bytes / floor / 1e6, 0) << " | 1.00 | "
            << Fixed(Ratio(floor, seconds(in.name + "/memchr_floor")), 2) << " | |\n";
        for (const char* form : kForms) {
            const double time = seconds(in.name + "/" + form);
            if (std::isnan(time)) continue;
            const double to_floor = Ratio(time, floor);
            const double fgetc = Ratio(seconds(in.name + "/fgetc_" + form), time);
            out << "| " << in.name << " | " << form << " | " << Fixed(in.bytes / time / 1e6, 0) << " | "
                << Fixed(to_floor, 2) << " | " << Fixed(Ratio(time, seconds(in.name + "/memchr_floor")), 2) << " | "
                << Fixed(fgetc, 1) << " |\n";
            if (in.name == "realistic") {
                const double limit = std::string_view(form) == "combined" ? 1.5 : 1.3;
                targets.push_back({"realistic " + std::string(form) + ": time / read-only floor", to_floor, limit, true});
                targets.push_back({"realistic " + std::string(form) + ": fgetc time / time", fgetc, 10, false});
            } else if (!in.name.starts_with("collection")) {
                targets.push_back({in.name + " " + form + ": time / read-only floor", to_floor, 2, true});
            }
        }
    }

    const double collection = seconds("collection/combined");
    if (!std::isnan(collection)) {
        // What the files would cost if a file cost nothing beyond its bytes:
        // opening, reading and closing the tree, plus scanning its bytes at
        // the rate the same kind of content is scanned in one file.
        const double joined_scan = Ratio(seconds("collection_joined/combined") -
                                             seconds("collection_joined/open_read_close"),
                                         bytes_of("collection_joined"));
        const double orc = seconds("collection/open_read_close");
        const double expected = orc + joined_scan * bytes_of("collection");
        const double to_expected = Ratio(collection, expected);
        const int files = files_of("collection");
        out << "\n| collection, " << files << " files, " << Fixed(bytes_of("collection") / 1e6, 0)
            << " MB | seconds | MB/s | time / open-read-close |\n|---|---:|---:|---:|\n"
            << "| open-read-close of the files | " << Fixed(orc, 4) << " | " << Fixed(bytes_of("collection") / orc / 1e6, 0)
            << " | 1.00 |\n"
            << "| that plus scanning the bytes as one file | " << Fixed(expected, 4) << " | "
            << Fixed(bytes_of("collection") / expected / 1e6, 0) << " | " << Fixed(Ratio(expected, orc), 2) << " |\n"
            << "| zhGetZoleHeader on each file | " << Fixed(collection, 4) << " | "
            << Fixed(bytes_of("collection") / collection / 1e6, 0) << " | " << Fixed(Ratio(collection, orc), 2)
            << " |\n\n"
            << "- time / (open-read-close + scanning as one file): " << Fixed(to_expected, 2) << "\n"
            << "- cost per file beyond open-read-close and scanning: "
            << Fixed((collection - expected) / files * 1e6, 2) << " us\n"
            << "- fgetc time / time: " << Fixed(Ratio(seconds("collection/fgetc_combined"), collection), 1) << "\n";
        targets.push_back({"collection: time / (open-read-close + scanning as one file)", to_expected, 1.1, true});
    }

    const double fast = seconds("memory/realistic/fast_loop");
    if (!std::isnan(fast)) {
        const double bytes = bytes_of("realistic");
        out << "\n| in memory, realistic | MB/s | time / memchr line count |\n|---|---:|---:|\n";
        for (const char* loop : {"fast_loop", "plain_loop", "memchr_lines"}) {
            const double time = seconds(std::string("memory/realistic/") + loop);
            out << "| " << loop << " | " << Fixed(bytes / time / 1e6, 0) << " | "
                << Fixed(Ratio(time, seconds("memory/realistic/memchr_lines")), 2) << " |\n";
        }
    }

    out << "\n## Targets\n\n";
    if (scale_ < 1) {
        out << "Not judged: the inputs are " << scale_ * 100
            << " % of the full sizes the targets are set for (ZOLEHEAD_BENCH_SCALE).\n";
        out << std::flush;
        return;
    }
    for (const Target& t : targets) {
        const bool holds = t.at_most ? t.value <= t.limit : t.value >= t.limit;  // false for NaN
        out << "- " << t.what << ": " << Fixed(t.value, 2) << (t.at_most ? " (at most " : " (at least ")
            << Fixed(t.limit, 1) << "): " << (holds ? "holds" : "MISSED") << "\n";
    }
    out << std::flush;
}

}  // namespace zolehead_bench
