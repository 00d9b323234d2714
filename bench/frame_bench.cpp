// bench/frame_bench.cpp -- what the frame of one exported call costs: entering the component-access lock,
// the try around the body, storing a result, leaving the lock. Measured through the shared library, as a
// caller pays it, against an uncontended std::recursive_mutex lock/unlock pair in the same run.
#include <benchmark/benchmark.h>

#include <mutex>

#include "Summary.h"
#include "qxPropHandling.h"

namespace {

// Global so that the compiler cannot prove the lock unobserved and drop it.
std::recursive_mutex baselineMutex;

void recursiveMutexPair(benchmark::State& state) {
    for (auto _ : state) {
        baselineMutex.lock();
        benchmark::ClobberMemory();
        baselineMutex.unlock();
    }
}

// A whole exported call: lock, one try, the body stores a code in the thread's record, unlock.
void setLastError(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(qxPropHandlingSetLastError(PROPHANDLING_LIST_ID_INVALID, nullptr));
}

// The lock alone, as a caller takes it around several calls.
void compAccessPair(benchmark::State& state) {
    for (auto _ : state) {
        qxLockCompAccess();
        benchmark::ClobberMemory();
        qxUnlockCompAccess();
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("std::recursive_mutex lock+unlock", recursiveMutexPair);
    benchmark::RegisterBenchmark("qxPropHandlingSetLastError(-2020, NULL)", setLastError);
    benchmark::RegisterBenchmark("qxLockCompAccess+qxUnlockCompAccess", compAccessPair);
    return qx::bench::runAndSummarise(argc, argv, {"frame_bench", "std::recursive_mutex lock+unlock", 1.5});
}
