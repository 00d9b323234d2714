// bench/cpp_calls.cpp -- the C++ interface's typed set and get against the same C calls, as plain loops for an
// instruction counter (bench/cpp-instructions runs it under callgrind). Google Benchmark's timings on a
// shared machine spread wider than the wrapper's share of a call; counted instructions do not. Each C loop
// tests the return code, as a caller that checks errors does, so the difference is what the wrapper adds.
//   cpp_calls <kind> <calls>     kind: cSetInt cppSetInt cGetInt cppGetInt cSetDouble cppSetDouble
//                                      cGetDouble cppGetDouble
// Built as a program, or position-independent into a shared object with -DQX_CALLS_ENTRY=qxCallsMain (a
// plugin over the header), whose program then only calls that entry.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
