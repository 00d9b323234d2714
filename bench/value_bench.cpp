// bench/value_bench.cpp -- one Int32 value written and read through the exported functions (lock, resolve,
// snap to the step, check the limits, store, notify), against what a bare keyed store under a lock costs:
// a std::recursive_mutex and a std::unordered_map<uint32_t, int64_t>, in the same run. Also, for the
// record, what an attached write callback adds to a write, and what a method call costs.
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
HOBJ g_guarded = 0; // the same kind of property with a write callback that accepts everything
HOBJ g_method = 0;  // a method adding two Int32 parameters

int acceptAll(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t) { return 0; }
int add(HOBJ, HOBJ, CallParam*, size_t, CallParam* pValues, size_t count) {
    return count == 2 ? pValues[0].value.i32 + pValues[1].value.i32 : -1;
}

void setValWithCallback(benchmark::State& state) {
    qxValue slot{};
    const ValBuffer buffer{QX_VT_INT32, 1, &slot};
    std::int32_t v = 0;
    for (auto _ : state) {
        slot.i32 = (v += 2) & 0xFFFF;
        benchmark::DoNotOptimize(qxPropSetVal(g_guarded, &buffer, 0, QX_SETVAL_VALUES, nullptr, 0, 0));
    }
}

void methCall(benchmark::State& state) {
    CallParam params[2] = {};
    params[0].type = params[1].type = QX_PT_INT32;
    std::int64_t result = 0;
    for (auto _ : state) {
        params[0].value.i32 = static_cast<std::int32_t>(result & 0xFF);
        params[1].value.i32 = 3;
        benchmark::DoNotOptimize(qxMethCall(g_method, params, 2, &result));
    }
}

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
    g_guarded = qx::bench::limitedInt32Property();
    HCALLBACK callback = 0;
    HOBJ method = QX_INDEX_APPEND;
    if (qxCompCreateCallback(QX_CB_PROPERTY_WRITE, &acceptAll, nullptr, 0, &callback) != 0 ||
        qxCompAttachCallback(g_guarded, callback) != 0 ||
        qxPropListRegisterMethod(g_prop | 0xFFFFu, "add@iii", &add, nullptr, 0, QX_CF_READ_ACCESS, &method) != 0) {
        std::fprintf(stderr, "cannot set up the callback and the method\n");
        return 1;
    }
    g_method = method;
    benchmark::RegisterBenchmark("map write under recursive_mutex", mapWrite);
    benchmark::RegisterBenchmark("qxPropSetVal Int32 with min, max, step", setVal);
    benchmark::RegisterBenchmark("map read under recursive_mutex", mapRead);
    benchmark::RegisterBenchmark("qxPropSetVal Int32, write callback returning 0", setValWithCallback);
    benchmark::RegisterBenchmark("qxMethCall, two Int32 parameters", methCall);
    benchmark::RegisterBenchmark("qxPropGetVal Int32", getVal);
    benchmark::RegisterBenchmark("snprintf %d under recursive_mutex", snprintfText);
    benchmark::RegisterBenchmark("qxPropGetValAsStringEx Int32, default format", valueText);
    qx::bench::SummarySpec plan{"value_bench", "", 0, {}};
    plan.comparisons = {
        {"qxPropSetVal Int32 with min, max, step", "map write under recursive_mutex", 2.0},
        {"qxPropSetVal Int32, write callback returning 0", "map write under recursive_mutex", 0},
        {"qxMethCall, two Int32 parameters", "map write under recursive_mutex", 0},
        {"qxPropGetVal Int32", "map read under recursive_mutex", 1.5},
        {"qxPropGetValAsStringEx Int32, default format", "snprintf %d under recursive_mutex", 2.0},
    };
    return qx::bench::runAndSummarise(argc, argv, plan);
}
