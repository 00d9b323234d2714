// Counts every operator new of the test program (the shared library's calls resolve to these too), so a
// test can compare what a wrapper call allocates with what the bare C call does. Every unaligned form is
// replaced, so no block is made by one allocator and freed by another (AddressSanitizer checks that).
// Kept apart from the tests so the compiler never sees these definitions inlined beside their callers.
#include <atomic>
#include <cstdlib>
#include <new>

std::atomic<long> g_allocations{0};

namespace {
void* allocate(std::size_t n) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n != 0 ? n : 1);
}
void* allocateOrThrow(std::size_t n) {
    if (void* p = allocate(n)) return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t n) { return allocateOrThrow(n); }
void* operator new[](std::size_t n) { return allocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
