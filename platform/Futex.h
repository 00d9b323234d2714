// platform/Futex.h -- sleeping on a 32-bit word until another thread or process changes it. The semaphore and
// the event keep their state in such a word; Futex.cpp is the only file that knows the system call.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace qx::platform {

static_assert(sizeof(std::atomic<std::uint32_t>) == 4 && std::atomic<std::uint32_t>::is_always_lock_free);

// The end of a wait, fixed when the wait starts so that spurious wake-ups do not stretch it.
class Deadline {
public:
    explicit Deadline(unsigned timeoutMs);  // 0xFFFFFFFF: never
    bool immediate() const noexcept { return immediate_; }
    const std::optional<std::chrono::steady_clock::time_point>& at() const noexcept { return at_; }

private:
    bool immediate_;
    std::optional<std::chrono::steady_clock::time_point> at_;
};

// Sleeps while word == expected, until woken or the deadline passes. false: the deadline passed.
// shared: the word lives in memory mapped by several processes. waiters counts the sleepers (it lives beside
// the word), so that a wake with nobody asleep costs no system call.
bool futexWait(std::atomic<std::uint32_t>& word, std::uint32_t expected, const Deadline& deadline, bool shared,
               std::atomic<std::uint32_t>& waiters);
// Call after changing word.
void futexWakeAll(std::atomic<std::uint32_t>& word, bool shared, std::atomic<std::uint32_t>& waiters);

// The same for a word only this process's threads touch, with no deadline and no count of sleepers: the
// caller's word itself says whether anybody sleeps (the lock of sync/FastMutex.h).
void futexWaitPrivate(std::atomic<std::uint32_t>& word, std::uint32_t expected);
void futexWakeOnePrivate(std::atomic<std::uint32_t>& word);

} // namespace qx::platform
