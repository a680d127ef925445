// The console report plus, at the end, each reader as a ratio to its
// baselines from the same run, and whether the performance targets hold.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace zolehead_bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Input {
        std::string name;       // benchmark name prefix: "realistic", "collection", ...
        double bytes = 0;       // bytes per iteration
        int files = 1;
    };

    // `scale`: the inputs' fraction of the full sizes, which the targets
    // are meant for.
    RatioReporter(std::vector<Input> inputs, double scale) : inputs_(std::move(inputs)), scale_(scale) {}

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

    // Writes the tables and the target checks (Markdown).
    void PrintRatios(std::ostream& out) const;

private:
    // Seconds per iteration: the median when repetitions ran, else the run;
    // NaN when the benchmark did not run.
    double seconds(const std::string& name) const;
    double bytes_of(const std::string& input) const;
    int files_of(const std::string& input) const;

    std::vector<Input> inputs_;
    std::map<std::string, double> medians_;
    std::map<std::string, double> singles_;
    double scale_;
    int repetitions_ = 1;
};

}  // namespace zolehead_bench
