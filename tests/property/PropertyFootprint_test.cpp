// tests/property/PropertyFootprint_test.cpp -- what one property costs on the heap, and that checked writes
// of fixed-width values and default-format texts of them cost nothing there. This file replaces the
// global operator new/delete of the whole test program with malloc-based ones that count only while a
// Counting scope is open, so the other tests are unaffected.
#include <cstdio>
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "PropertyTestSupport.h"
#include "component/Vocabulary.h"

namespace {
bool g_counting = false;
std::size_t g_bytes = 0;
std::size_t g_blocks = 0;

class Counting {
public:
    Counting() {
        g_bytes = 0;
        g_blocks = 0;
        g_counting = true;
    }
    ~Counting() { g_counting = false; }
    Counting(const Counting&) = delete;
    Counting& operator=(const Counting&) = delete;
};
} // namespace

// GCC sees new-then-free once these are inlined; here that pairing is the point.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    if (g_counting) {
        g_bytes += size;
        ++g_blocks;
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// Every other plain form is replaced too: a sanitizer runtime supplies its own, which would not pair with
// free() below.
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace qx {
namespace {

TEST(PropertyFootprint, OneInt32PropertyCostsUnder300Bytes) {
    std::unique_ptr<CProperty> p;
    std::size_t bytes = 0, blocks = 0;
    {
        Counting scope;
        p = CProperty::create(QX_VT_INT32, "Gain", nullptr, 1, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS, "");
        bytes = g_bytes;
        blocks = g_blocks;
    }
    std::printf("one Int32 property named 'Gain': %zu bytes in %zu blocks\n", bytes, blocks);
    RecordProperty("bytes", static_cast<int>(bytes));
    // Component object, shared data and the one slot; a short name and the default format need no block.
    EXPECT_EQ(blocks, 3u);
    EXPECT_LT(bytes, 300u);

    {
        Counting scope;
        auto clone = p->clone(nullptr, nullptr, CloneMode::ShareData);
        blocks = g_blocks;
    }
    EXPECT_EQ(blocks, 2u) << "a sharing clone allocates its object and its slot, no shared data";
}

TEST(PropertyFootprint, CheckedWritesOfFixedWidthValuesStayOffTheHeap) {
    auto p = CProperty::create(QX_VT_INT32, "Gain", nullptr, 4, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS, "");
    p->writeVals(rightsOrdinary, test::ints({1000}), QX_LIM_MAXIMUM);
    p->writeVals(rightsOrdinary, test::ints({-1000}), QX_LIM_MINIMUM);
    p->writeVals(rightsOrdinary, test::ints({4}), QX_LIM_STEP_WIDTH);
    auto d = CProperty::create(QX_VT_DOUBLE, "Rate", nullptr, 1, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS, "");
    d->writeVals(rightsOrdinary, test::doubles({1e6}), QX_LIM_MAXIMUM);

    CValBuffer one(QX_VT_INT32, 1), four(QX_VT_INT32, 4), rate(QX_VT_DOUBLE, 1);
    int changes = 0;
    std::size_t blocks = 0;
    std::string text;
    {
        Counting scope;
        for (int i = 0; i < 200; ++i) {
            one[0].i32 = i * 7 - 700;
            changes += p->writeVals(rightsOrdinary, one, i % 4);
            rate[0].dbl = i * 0.5;
            changes += d->writeVals(rightsOrdinary, rate, 0);
        }
        for (int k = 0; k < 4; ++k) four[static_cast<std::uint64_t>(k)].i32 = 100 * k + k % 2;
        changes += p->writeVals(rightsOrdinary, four, 0);
        text = p->valueTextAt(nullptr, 3);
        blocks = g_blocks;
    }
    EXPECT_EQ(blocks, 0u);
    EXPECT_GT(changes, 300) << "the writes must have stored something";
    EXPECT_EQ(text, "300");
    CValBuffer back(QX_VT_INT32, 4);
    p->getVal(back, 0);
    EXPECT_EQ(back[1].i32, 100) << "101 snaps to the step counted from the minimum";
}

} // namespace
} // namespace qx
