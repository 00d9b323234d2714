// bench/list_register_bench.cpp -- what registering a property costs as a list grows: register one into
// the first free entry and remove it again, on a list of 60 000 entries against a list of 10 entries (the
// baseline), in the same run. The list keeps its size, so each iteration measures the same work: property
// creation, the name check, choosing the entry, and removal. The target is 2.
#include <benchmark/benchmark.h>

#include <string>

#include "Summary.h"
#include "qxPropHandling.h"

namespace {

void registerIn(benchmark::State& state, int count) {
    HOBJ list = 0;
    qxPropListCreate(&list, "l", 0, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS);
    for (int i = 0; i < count; ++i) {
        HOBJ h = QX_INDEX_APPEND;
        qxPropListRegisterProp(list, ("p" + std::to_string(i)).c_str(), QX_CT_PROP_INT32, 1, 3, nullptr, &h);
    }
    HOBJ probe = QX_INDEX_FIRST_FREE;
    if (qxPropListRegisterProp(list, "probe", QX_CT_PROP_INT32, 1, 3, nullptr, &probe) != 0 ||
        qxPropListRemoveComp(probe) != 0) {
        state.SkipWithError("registration refused");
        return;
    }
    for (auto _ : state) {
        HOBJ h = QX_INDEX_FIRST_FREE;
        benchmark::DoNotOptimize(qxPropListRegisterProp(list, "extra", QX_CT_PROP_INT32, 1, 3, nullptr, &h));
        benchmark::DoNotOptimize(qxPropListRemoveComp(h));
    }
    qxPropListDelete(list);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("register+remove, 10 entries", [](benchmark::State& s) { registerIn(s, 10); });
    benchmark::RegisterBenchmark("register+remove, 60000 entries", [](benchmark::State& s) { registerIn(s, 60000); });
    return qx::bench::runAndSummarise(argc, argv, {"list_register_bench", "register+remove, 10 entries", 2.0});
}
