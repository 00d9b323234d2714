// sync/CCriticalSection.h -- the recursive in-process lock behind the component-access lock and the
// callbacks' state locks. It is built from a FastMutex, whose constructor is constexpr, so a lock defined at
// namespace scope is constant-initialised: it exists before any static constructor or exported function
// runs and needs no destructor ordering at unload.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/Thread.h"
#include "sync/FastMutex.h"

namespace qx {

class CCriticalSection {
public:
    constexpr CCriticalSection() noexcept = default;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void enter() {
        const std::uintptr_t me = platform::currentThreadToken();
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return;
        }
        mutex_.lock();
        owner_.store(me, std::memory_order_relaxed);
        depth_ = 1;
    }

    // Leaving a lock this thread does not hold is ignored rather than corrupting the owner's count.
    void leave() {
        if (owner_.load(std::memory_order_relaxed) != platform::currentThreadToken()) return;
        if (--depth_ == 0) {
            owner_.store(0, std::memory_order_relaxed);
            mutex_.unlock();
        }
    }

    bool tryEnter() {
        const std::uintptr_t me = platform::currentThreadToken();
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return true;
        }
        if (!mutex_.try_lock()) return false;
        owner_.store(me, std::memory_order_relaxed);
        depth_ = 1;
        return true;
    }

    bool heldByCaller() const { return owner_.load(std::memory_order_relaxed) == platform::currentThreadToken(); }

private:
    FastMutex mutex_;
    // Written only by the holder; read by others only to learn that they are not the holder.
    std::atomic<std::uintptr_t> owner_{0};
    std::uint32_t depth_ = 0;
};

// The process's component-access lock: lives from module load to unload, outlives every guard. Defined
// here, inline, so that entering and leaving it on every exported call compiles to a few instructions.
inline constinit CCriticalSection g_componentAccessLock;
inline CCriticalSection& componentAccessLock() { return g_componentAccessLock; }

// Holds the component-access lock for one scope. Order: this lock before any named kernel object.
class CompAccessLock {
public:
    CompAccessLock() { componentAccessLock().enter(); }
    ~CompAccessLock() { componentAccessLock().leave(); }
    CompAccessLock(const CompAccessLock&) = delete;
    CompAccessLock& operator=(const CompAccessLock&) = delete;
};

} // namespace qx

namespace qx {

// Leaves the component-access lock exactly once for one scope, around a call into the caller's code
// (callbacks, methods, validation methods), and enters it again when the scope ends, however it ends.
// The caller's code may then call the interface on this thread, and other threads may use the tree
// meanwhile. A thread that entered the lock more than once (qxLockCompAccess around a call) still holds
// it inside: only the library's own entry is given back. Stack-only.
class CompAccessUnlock {
public:
    CompAccessUnlock() : held_(componentAccessLock().heldByCaller()) {
        if (held_) componentAccessLock().leave();
    }
    ~CompAccessUnlock() {
        if (held_) componentAccessLock().enter();
    }
    CompAccessUnlock(const CompAccessUnlock&) = delete;
    CompAccessUnlock& operator=(const CompAccessUnlock&) = delete;

private:
    bool held_;
};

} // namespace qx
