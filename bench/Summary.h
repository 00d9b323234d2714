// bench/Summary.h -- the part every qx benchmark program shares: run the registered benchmarks with the
// usual console report, then print a markdown table of each benchmark's median CPU time per iteration and its ratio to the
// program's baseline, measured in the same run so machine noise cancels. bench/run collects these tables.
#pragma once

#include <string>
#include <vector>

namespace qx::bench {

// One benchmark measured against its own baseline of the same run.
struct Comparison {
    std::string name;
    std::string baseline;
    double targetRatio; // 0: reported without a target
};

struct SummarySpec {
    std::string title;    // heading of the table, usually the program's name
    std::string baseline; // name of the benchmark the others are divided by
    double targetRatio;   // every other benchmark should stay at or below this multiple of the baseline
    // When not empty, each listed benchmark is divided by its own baseline instead (baseline above unused).
    std::vector<Comparison> comparisons{};
};

// Returns the process exit status: 0, or 1 when the arguments were not understood or the baseline
// did not run.
int runAndSummarise(int argc, char** argv, const SummarySpec& plan);

} // namespace qx::bench
