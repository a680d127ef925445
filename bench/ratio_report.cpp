#include "ratio_report.hpp"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>

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
        << "| input | reader | MB/s | time / memchr floor | fgetc time / time |\n"
        << "|---|---|---:|---:|---:|\n";
    for (const Input& in : inputs_) {
        if (in.name.starts_with("collection")) continue;
        const double floor = seconds(in.name + "/memchr_floor");
        for (const char* form : kForms) {
            const double time = seconds(in.name + "/" + form);
            if (std::isnan(time)) continue;
            const double to_floor = Ratio(time, floor);
            const double fgetc = Ratio(seconds(in.name + "/fgetc_" + form), time);
            out << "| " << in.name << " | " << form << " | " << Fixed(in.bytes / time / 1e6, 0) << " | "
                << Fixed(to_floor, 2) << " | " << Fixed(fgetc, 1) << " |\n";
            if (in.name == "realistic") {
                targets.push_back({"realistic " + std::string(form) + ": time / memchr floor", to_floor, 3, true});
                targets.push_back({"realistic " + std::string(form) + ": fgetc time / time", fgetc, 10, false});
            }
        }
    }

    out << "\n| adversarial input | reader | time per byte / realistic |\n|---|---|---:|\n";
    const double realistic_bytes = bytes_of("realistic");
    for (const Input& in : inputs_) {
        if (in.name.starts_with("collection") || in.name == "realistic") continue;
        for (const char* form : kForms) {
            const double per_byte = Ratio(seconds(in.name + "/" + form), in.bytes);
            const double realistic_per_byte = Ratio(seconds(std::string("realistic/") + form), realistic_bytes);
            const double slower = Ratio(per_byte, realistic_per_byte);
            if (std::isnan(slower)) continue;
            out << "| " << in.name << " | " << form << " | " << Fixed(slower, 2) << " |\n";
            targets.push_back({in.name + " " + form + ": time per byte / realistic", slower, 2, true});
        }
    }

    const double collection = seconds("collection/combined");
    if (!std::isnan(collection)) {
        const double joined = seconds("collection_joined/combined");
        const double to_floor = Ratio(collection, seconds("collection/memchr_floor"));
        const double to_orc = Ratio(collection, seconds("collection/open_read_close"));
        const double joined_to_floor = Ratio(joined, seconds("collection_joined/memchr_floor"));
        const double big = Ratio(seconds("realistic/combined"), seconds("realistic/memchr_floor"));
        // Above zero when the files cost more, each, than their bytes do.
        const double per_file = (Ratio(to_floor, joined_to_floor) - 1) * 100;
        const double literal = (Ratio(to_orc, big) - 1) * 100;
        out << "\n| collection, " << Fixed(bytes_of("collection") / 1e6, 0) << " MB | reader | MB/s | time / memchr floor |"
            << " time / open-read-close | fgetc time / time |\n|---|---|---:|---:|---:|---:|\n"
            << "| " << files_of("collection") << " files | zhGetZoleHeader | "
            << Fixed(bytes_of("collection") / collection / 1e6, 0) << " | " << Fixed(to_floor, 2) << " | "
            << Fixed(to_orc, 2) << " | " << Fixed(Ratio(seconds("collection/fgetc_combined"), collection), 1)
            << " |\n"
            << "| the first files joined into one | zhGetZoleHeader | "
            << Fixed(bytes_of("collection_joined") / joined / 1e6, 0) << " | " << Fixed(joined_to_floor, 2)
            << " | | |\n\n"
            << "- cost of a file beyond its bytes: time / memchr floor, files against joined: "
            << (per_file >= 0 ? "+" : "") << Fixed(per_file, 1) << " %\n"
            << "- time / open-read-close of the files against time / memchr floor of the realistic file: "
            << (literal >= 0 ? "+" : "") << Fixed(literal, 1) << " %\n";
        targets.push_back({"collection: time / memchr floor above the same files joined, %", per_file, 10, true});
        targets.push_back({"collection: time / open-read-close above realistic time / memchr floor, %", literal, 10, true});
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
            << Fixed(t.limit, 0) << "): " << (holds ? "holds" : "MISSED") << "\n";
    }
    out << std::flush;
}

}  // namespace zolehead_bench
