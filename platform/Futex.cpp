// platform/Futex.cpp -- the futex calls behind Semaphore and Event. Deadlines are absolute CLOCK_MONOTONIC
// times (FUTEX_WAIT_BITSET), the clock std::chrono::steady_clock reads, so a changed wall clock neither
// shortens nor stretches a wait. Words of named objects are waited on without FUTEX_PRIVATE_FLAG, because
// their waiters and wakers sit in different processes.
#include "platform/Futex.h"

#include <cerrno>
#include <climits>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "platform/Errno.h"
#include "platform/SyncHandle.h"

namespace qx::platform {

Deadline::Deadline(unsigned timeoutMs) : immediate_(timeoutMs == 0) {
    if (timeoutMs != kWaitForever)
        at_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

bool futexWait(std::atomic<std::uint32_t>& word, std::uint32_t expected, const Deadline& deadline, bool shared,
               std::atomic<std::uint32_t>& waiters) {
    timespec abs{};
    if (deadline.at()) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.at()->time_since_epoch()).count();
        abs.tv_sec = static_cast<time_t>(ns / 1000000000);
        abs.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    const int op = FUTEX_WAIT_BITSET | (shared ? 0 : FUTEX_PRIVATE_FLAG);
    // Counted before the kernel compares word with expected: a waker that changed word after our comparison
    // sees us counted (both sides are sequentially consistent), one that changed it before makes the
    // comparison fail, so no wake-up is lost.
    waiters.fetch_add(1);
    const long rc = ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), op, expected,
                              deadline.at() ? &abs : nullptr, nullptr, FUTEX_BITSET_MATCH_ANY);
    const int error = errno;
    waiters.fetch_sub(1);
    return rc == 0 || wakeReasonOf(error) != WakeReason::TimedOut;
}

void futexWakeAll(std::atomic<std::uint32_t>& word, bool shared, std::atomic<std::uint32_t>& waiters) {
    if (waiters.load() == 0) return;  // seq_cst, as must be the caller's change of word
    const int op = FUTEX_WAKE | (shared ? 0 : FUTEX_PRIVATE_FLAG);
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), op, INT_MAX, nullptr, nullptr, 0);
}

void futexWaitPrivate(std::atomic<std::uint32_t>& word, std::uint32_t expected) {
    // EAGAIN (the word moved on) and EINTR both just send the caller back to look at the word again.
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT | FUTEX_PRIVATE_FLAG, expected, nullptr,
              nullptr, 0);
}

void futexWakeOnePrivate(std::atomic<std::uint32_t>& word) {
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE | FUTEX_PRIVATE_FLAG, 1, nullptr, nullptr,
              0);
}

} // namespace qx::platform
