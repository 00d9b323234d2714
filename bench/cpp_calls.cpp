// bench/cpp_calls.cpp -- the C++ interface's typed set and get against the same C calls, as plain loops for an
// instruction counter (bench/cpp-instructions runs it under callgrind). Google Benchmark's timings on a
// shared machine spread wider than the wrapper's share of a call; counted instructions do not. Each C loop
// tests the return code, as a caller that checks errors does, so the difference is what the wrapper adds.
//   cpp_calls <kind> <calls>     kind: cSetInt cppSetInt cGetInt cppGetInt cSetDouble cppSetDouble
//                                      cGetDouble cppGetDouble
//   cpp_calls paired <pairs>     times blocks of 20 000 C calls and wrapper calls back to back, alternating
//                                which goes first, and prints the median of the pairs' ratios: a busy
//                                machine slows both halves of a pair alike.
// Built as a program, or position-independent into a shared object with -DQX_CALLS_ENTRY=qxCallsMain (a
// plugin over the header), whose program then only calls that entry.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ValueBenchSetup.h"
#include "qxPropHandling.hpp"

#ifndef QX_CALLS_ENTRY
#define QX_CALLS_ENTRY main
#endif

namespace {

__attribute__((noinline)) void cSetInt(HOBJ h, long n) {
    qxValue slot{};
    const ValBuffer b{QX_VT_INT32, 1, &slot};
    std::int32_t v = 0;
    for (long i = 0; i < n; ++i) {
        slot.i32 = (v += 2) & 0xFFFF;
        if (qxPropSetVal(h, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0) != 0) std::abort();
    }
}
__attribute__((noinline)) void cppSetInt(HOBJ h, long n) {
    const qx::Property p(h);
    std::int32_t v = 0;
    for (long i = 0; i < n; ++i) p.set((v += 2) & 0xFFFF);
}
__attribute__((noinline)) std::int64_t cGetInt(HOBJ h, long n) {
    qxValue slot{};
    ValBuffer b{QX_VT_INT32, 1, &slot};
    std::int64_t sum = 0;
    for (long i = 0; i < n; ++i) {
        if (qxPropGetVal(h, &b, 0) != 0) std::abort();
        sum += slot.i32;
    }
    return sum;
}
__attribute__((noinline)) std::int64_t cppGetInt(HOBJ h, long n) {
    const qx::Property p(h);
    std::int64_t sum = 0;
    for (long i = 0; i < n; ++i) sum += p.get<std::int32_t>();
    return sum;
}
__attribute__((noinline)) void cSetDouble(HOBJ h, long n) {
    qxValue slot{};
    const ValBuffer b{QX_VT_DOUBLE, 1, &slot};
    std::int32_t v = 0;
    for (long i = 0; i < n; ++i) {
        slot.dbl = ((v += 1) & 0xFFFF) * 0.5;
        if (qxPropSetVal(h, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0) != 0) std::abort();
    }
}
__attribute__((noinline)) void cppSetDouble(HOBJ h, long n) {
    const qx::Property p(h);
    std::int32_t v = 0;
    for (long i = 0; i < n; ++i) p.set(((v += 1) & 0xFFFF) * 0.5);
}
__attribute__((noinline)) double cGetDouble(HOBJ h, long n) {
    qxValue slot{};
    ValBuffer b{QX_VT_DOUBLE, 1, &slot};
    double sum = 0;
    for (long i = 0; i < n; ++i) {
        if (qxPropGetVal(h, &b, 0) != 0) std::abort();
        sum += slot.dbl;
    }
    return sum;
}
__attribute__((noinline)) double cppGetDouble(HOBJ h, long n) {
    const qx::Property p(h);
    double sum = 0;
    for (long i = 0; i < n; ++i) sum += p.get<double>();
    return sum;
}

// Nanoseconds per call of one block of f's calls.
template <class F>
double perCall(F f, long n) {
    const auto start = std::chrono::steady_clock::now();
    f(n);
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / n;
}

// Median C time, wrapper time and ratio of pairs of blocks, with the ratios' quartiles.
template <class C, class Cpp>
void paired(const char* name, C c, Cpp cpp, int pairs) {
    constexpr long kBlock = 20000;
    std::vector<double> ratios, cTimes, cppTimes;
    for (int k = 0; k < pairs; ++k) {
        double tc = 0, tcpp = 0;
        if (k % 2 == 0) {
            tc = perCall(c, kBlock);
            tcpp = perCall(cpp, kBlock);
        } else {
            tcpp = perCall(cpp, kBlock);
            tc = perCall(c, kBlock);
        }
        ratios.push_back(tcpp / tc);
        cTimes.push_back(tc);
        cppTimes.push_back(tcpp);
    }
    for (auto* v : {&ratios, &cTimes, &cppTimes}) std::sort(v->begin(), v->end());
    const std::size_t mid = ratios.size() / 2, q1 = ratios.size() / 4, q3 = ratios.size() * 3 / 4;
    std::printf("| %s | %.2f | %.2f | %.3f | %.3f to %.3f |\n", name, cTimes[mid], cppTimes[mid], ratios[mid],
                ratios[q1], ratios[q3]);
}

} // namespace

int QX_CALLS_ENTRY(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: cpp_calls <kind> <calls>\n");
        return 2;
    }
    qx::Library library;
    const HOBJ int32 = qx::bench::limitedInt32Property();
    const qx::List list = qx::List::create("cpp-calls");
    const qx::Property gain = list.addProperty<double>("gain");
    gain.setLimit(qx::Limit::Minimum, -1.0e6);
    gain.setLimit(qx::Limit::Maximum, 1.0e6);
    const std::string kind = argv[1];
    const long n = std::atol(argv[2]);
    volatile double sink = 0; // keeps the read loops' results alive
    if (kind == "paired") {
        const int pairs = static_cast<int>(std::max(1L, n));
        std::printf("| pair | C ns | wrapper ns | median ratio | quartiles |\n|---|---:|---:|---:|---:|\n");
        paired("set Int32", [&](long m) { cSetInt(int32, m); }, [&](long m) { cppSetInt(int32, m); }, pairs);
        paired("get Int32", [&](long m) { sink = static_cast<double>(cGetInt(int32, m)); },
               [&](long m) { sink = static_cast<double>(cppGetInt(int32, m)); }, pairs);
        paired("set Double", [&](long m) { cSetDouble(gain.handle(), m); },
               [&](long m) { cppSetDouble(gain.handle(), m); }, pairs);
        paired("get Double", [&](long m) { sink = cGetDouble(gain.handle(), m); },
               [&](long m) { sink = cppGetDouble(gain.handle(), m); }, pairs);
        return 0;
    }
    if (kind == "cSetInt") cSetInt(int32, n);
    else if (kind == "cppSetInt") cppSetInt(int32, n);
    else if (kind == "cGetInt") sink = static_cast<double>(cGetInt(int32, n));
    else if (kind == "cppGetInt") sink = static_cast<double>(cppGetInt(int32, n));
    else if (kind == "cSetDouble") cSetDouble(gain.handle(), n);
    else if (kind == "cppSetDouble") cppSetDouble(gain.handle(), n);
    else if (kind == "cGetDouble") sink = cGetDouble(gain.handle(), n);
    else if (kind == "cppGetDouble") sink = cppGetDouble(gain.handle(), n);
    else {
        std::fprintf(stderr, "cpp_calls: unknown kind %s\n", kind.c_str());
        return 2;
    }
    (void)sink;
    return 0;
}
