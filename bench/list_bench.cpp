// bench/list_bench.cpp -- what finding a component by name costs as a list grows: qxPropListFindComp on a
// list of 60 000 entries against the same call on a list of 10 entries (the baseline), in the same run. The
// name index is hashed, so the ratio should stay near 1 (the target is 2). Both lists sit in a parent list,
// because the search is made through the list's entry handle.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "Summary.h"
#include "qxPropHandling.h"

namespace {

// A list of count properties named p0..p<count-1>, registered in holder; returns its entry handle.
HOBJ filledList(HOBJ holder, const char* name, int count) {
    HOBJ list = 0;
    qxPropListCreate(&list, name, 0, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS);
    for (int i = 0; i < count; ++i) {
        HOBJ h = QX_INDEX_APPEND;
        qxPropListRegisterProp(list, ("p" + std::to_string(i)).c_str(), QX_CT_PROP_INT32, 1, 3, nullptr, &h);
    }
    HOBJ entry = QX_INDEX_APPEND;
    qxPropListRegisterList(holder, list, &entry);
    return entry;
}

HOBJ holder() {
    static const HOBJ h = [] {
        HOBJ list = 0;
        qxPropListCreate(&list, "holder", 0, 3);
        return list;
    }();
    return h;
}

// Looks up names spread over the whole list, so a tree or a scan could not hide behind one lucky name.
// The list is made once per size and kept for the repetitions.
void findIn(benchmark::State& state, int count) {
    static HOBJ lists[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
    HOBJ& list = lists[count > 10 ? 1 : 0];
    if (list == 0xFFFFFFFFu) list = filledList(holder(), ("l" + std::to_string(count)).c_str(), count);
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) names.push_back("p" + std::to_string((count - 1) * i / 7));
    HOBJ found = 0;
    if (qxPropListFindComp(&found, list, names.back().c_str(), 0, 0) != 0 || found == 0xFFFFFFFFu) {
        state.SkipWithError("the list was not made");
        return;
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qxPropListFindComp(&found, list, names[next].c_str(), 0, 0));
        benchmark::DoNotOptimize(found);
        next = (next + 1) % names.size();
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("qxPropListFindComp, 10 entries", [](benchmark::State& s) { findIn(s, 10); });
    benchmark::RegisterBenchmark("qxPropListFindComp, 60000 entries", [](benchmark::State& s) { findIn(s, 60000); });
    return qx::bench::runAndSummarise(argc, argv, {"list_bench", "qxPropListFindComp, 10 entries", 2.0});
}
