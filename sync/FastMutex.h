// sync/FastMutex.h -- a process-private mutex on one futex word. The component-access lock is taken and
// given back on every exported call; uncontended, this costs one atomic instruction each way, where a
// pthread mutex spends some fifty instructions on its type and owner bookkeeping.
// The word: 0 free, 1 held, 2 held with possible sleepers (the classic three-state futex lock). A thread
// that finds it held marks it 2 and sleeps; the releaser wakes one sleeper only when it finds 2.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/Futex.h"

namespace qx {

class FastMutex {
public:
    constexpr FastMutex() noexcept = default;
    FastMutex(const FastMutex&) = delete;
    FastMutex& operator=(const FastMutex&) = delete;

    void lock() noexcept {
        std::uint32_t seen = 0;
        if (!word_.compare_exchange_strong(seen, 1, std::memory_order_acquire, std::memory_order_relaxed))
            lockContended(seen);
    }

    bool try_lock() noexcept {
        std::uint32_t seen = 0;
        return word_.compare_exchange_strong(seen, 1, std::memory_order_acquire, std::memory_order_relaxed);
    }

    void unlock() noexcept {
        if (word_.exchange(0, std::memory_order_release) == 2) platform::futexWakeOnePrivate(word_);
    }

private:
    [[gnu::noinline]] void lockContended(std::uint32_t seen) noexcept {
        // From here on the word says 2 whenever this thread may sleep, so the holder's release wakes it.
        // Taking the lock with 2 (not 1) is deliberate: another sleeper may still be waiting.
        if (seen != 2) seen = word_.exchange(2, std::memory_order_acquire);
        while (seen != 0) {
            platform::futexWaitPrivate(word_, 2);
            seen = word_.exchange(2, std::memory_order_acquire);
        }
    }

    std::atomic<std::uint32_t> word_{0};
};

} // namespace qx
