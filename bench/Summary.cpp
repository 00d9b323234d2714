// bench/Summary.cpp -- a console reporter that also keeps each benchmark's times, and the table printed
// from them. With repetitions the median aggregate is used; without, the median of the single runs. CPU
// time rather than wall time: the machines are shared, and a preempted iteration says nothing about us.
#include "Summary.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace qx::bench {

namespace {

class KeepingReporter final : public benchmark::ConsoleReporter {
public:
    // No colour codes: the report is usually piped into bench/run or a file.
    KeepingReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const double ns = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") medians_[name] = ns;
            } else {
                singles_[name].push_back(ns);
            }
            if (std::find(order_.begin(), order_.end(), name) == order_.end()) order_.push_back(name);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Median real time in nanoseconds; negative when the benchmark did not run.
    double median(const std::string& name) const {
        if (const auto it = medians_.find(name); it != medians_.end()) return it->second;
        const auto it = singles_.find(name);
        if (it == singles_.end() || it->second.empty()) return -1;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    const std::vector<std::string>& order() const { return order_; }

private:
    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> singles_;
    std::vector<std::string> order_;
};

int summariseComparisons(const KeepingReporter& reporter, const SummarySpec& plan) {
    bool met = true;
    std::printf("\n---- summary ----\n### %s\n\n| benchmark | median CPU ns | baseline | baseline ns | ratio | target |\n"
                "|---|---:|---|---:|---:|---:|\n",
                plan.title.c_str());
    for (const Comparison& c : plan.comparisons) {
        const double ns = reporter.median(c.name);
        const double base = reporter.median(c.baseline);
        if (ns <= 0 || base <= 0) {
            std::printf("| %s | did not run | %s | | | |\n", c.name.c_str(), c.baseline.c_str());
            met = false;
            continue;
        }
        const double ratio = ns / base;
        if (c.targetRatio <= 0) { // measured for the record, with no target of its own
            std::printf("| %s | %.2f | %s | %.2f | %.2f | none |\n", c.name.c_str(), ns, c.baseline.c_str(), base, ratio);
            continue;
        }
        if (ratio > c.targetRatio) met = false;
        std::printf("| %s | %.2f | %s | %.2f | %.2f | %.2f |\n", c.name.c_str(), ns, c.baseline.c_str(), base, ratio,
                    c.targetRatio);
    }
    std::printf("\nTarget: every ratio at or below its target: %s.\n", met ? "met" : "MISSED");
    return 0;
}

} // namespace

int runAndSummarise(int argc, char** argv, const SummarySpec& plan) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    if (!plan.comparisons.empty()) return summariseComparisons(reporter, plan);
    const double base = reporter.median(plan.baseline);
    if (base <= 0) {
        std::printf("baseline '%s' did not run; no summary\n", plan.baseline.c_str());
        return 1;
    }
    bool met = true;
    std::printf("\n---- summary ----\n### %s\n\n| benchmark | median CPU ns | ratio to baseline |\n|---|---:|---:|\n",
                plan.title.c_str());
    for (const std::string& name : reporter.order()) {
        const double ns = reporter.median(name);
        const double ratio = ns / base;
        if (name != plan.baseline && ratio > plan.targetRatio) met = false;
        std::printf("| %s%s | %.2f | %.2f |\n", name.c_str(), name == plan.baseline ? " (baseline)" : "", ns, ratio);
    }
    std::printf("\nTarget: every call at most %.2fx the baseline: %s.\n", plan.targetRatio, met ? "met" : "MISSED");
    return 0;
}

} // namespace qx::bench
