// bench/value_bench.cpp -- one Int32 value written and read through the exported functions (lock, resolve,
// snap to the step, check the limits, store, notify), against what a bare keyed store under a lock costs:
// a std::recursive_mutex and a std::unordered_map<uint32_t, int64_t>, in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "Summary.h"
#include "ValueBenchSetup.h"

namespace {

std::recursive_mutex baselineMutex;
std::unordered_map<std::uint32_t, std::int64_t> baselineStore;
HOBJ g_prop = 0;

void mapWrite(benchmark::State& state) {
    std::int64_t v = 0;
    for (auto _ : state) {
        std::lock_guard<std::recursive_mutex> lock(baselineMutex);
        auto it = baselineStore.find(0x00020000u);
        it->second = (v += 2) & 0xFFFF;
        benchmark::ClobberMemory();
    }
}

void mapRead(benchmark::State& state) {
    for (auto _ : state) {
        std::lock_guard<std::recursive_mutex> lock(baselineMutex);
        benchmark::DoNotOptimize(baselineStore.find(0x00020000u)->second);
    }
}

void setVal(benchmark::State& state) {
    qxValue slot{};
    const ValBuffer buffer{QX_VT_INT32, 1, &slot};
    std::int32_t v = 0;
    for (auto _ : state) {
        slot.i32 = (v += 2) & 0xFFFF; // a new value each time, so the store and notification run
        benchmark::DoNotOptimize(qxPropSetVal(g_prop, &buffer, 0, QX_SETVAL_VALUES, nullptr, 0, 0));
    }
}

void getVal(benchmark::State& state) {
    qxValue slot{};
    ValBuffer buffer{QX_VT_INT32, 1, &slot};
    for (auto _ : state) {
        benchmark::DoNotOptimize(qxPropGetVal(g_prop, &buffer, 0));
        benchmark::DoNotOptimize(slot.i32);
    }
}

void snprintfText(benchmark::State& state) {
    char text[32];
    int v = 123456;
    for (auto _ : state) {
        std::lock_guard<std::recursive_mutex> lock(baselineMutex);
        benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%d", v));
        benchmark::ClobberMemory();
    }
}

void valueText(benchmark::State& state) {
    qxValue slot{};
    slot.i32 = 123456;
    const ValBuffer buffer{QX_VT_INT32, 1, &slot};
    qxPropSetVal(g_prop, &buffer, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
    char text[32];
    for (auto _ : state) {
        size_t size = sizeof text;
        benchmark::DoNotOptimize(qxPropGetValAsStringEx(g_prop, nullptr, text, &size, 0));
        benchmark::ClobberMemory();
    }
}

} // namespace

int main(int argc, char** argv) {
    baselineStore[0x00020000u] = 0;
    g_prop = qx::bench::limitedInt32Property();
    benchmark::RegisterBenchmark("map write under recursive_mutex", mapWrite);
    benchmark::RegisterBenchmark("qxPropSetVal Int32 with min, max, step", setVal);
    benchmark::RegisterBenchmark("map read under recursive_mutex", mapRead);
    benchmark::RegisterBenchmark("qxPropGetVal Int32", getVal);
    benchmark::RegisterBenchmark("snprintf %d under recursive_mutex", snprintfText);
    benchmark::RegisterBenchmark("qxPropGetValAsStringEx Int32, default format", valueText);
    qx::bench::SummarySpec plan{"value_bench", "", 0, {}};
    plan.comparisons = {
        {"qxPropSetVal Int32 with min, max, step", "map write under recursive_mutex", 2.0},
        {"qxPropGetVal Int32", "map read under recursive_mutex", 1.5},
        {"qxPropGetValAsStringEx Int32, default format", "snprintf %d under recursive_mutex", 2.0},
    };
    return qx::bench::runAndSummarise(argc, argv, plan);
}
