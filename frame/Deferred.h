// frame/Deferred.h -- calls into caller code that a change notification raises (component-changed
// callbacks, registered change methods) wait here until the exported call that raised them has done its
// own work. Then no frame of the library holds a pointer into the tree while the caller's function runs,
// so that function may change or delete anything through the interface. The boundary (guarded) runs the
// queue of the calling thread before it leaves the component-access lock.
//
// The queue is per thread: a notification raised on one thread fires on that thread. Guard: the queue is
// touched only by its thread, with the component-access lock held.
#pragma once

#include <memory>
#include <vector>

namespace qx {

class DeferredCall {
public:
    virtual ~DeferredCall() = default;
    // Runs with the component-access lock held; leaves it only around the caller's function.
    virtual void run() = 0;
};

namespace detail {
struct DeferredQueue {
    std::vector<std::unique_ptr<DeferredCall>> calls;
};
inline thread_local DeferredQueue* t_deferred = nullptr;
void runDeferredCallsSlow();
} // namespace detail

// Queues a call for the end of the current exported call.
void deferCall(std::unique_ptr<DeferredCall> call);

// Runs every queued call of this thread in the order queued, including calls queued while they run.
// If one throws, the rest are dropped and the exception goes on to the boundary.
inline void runDeferredCalls() {
    if (detail::t_deferred != nullptr && !detail::t_deferred->calls.empty()) detail::runDeferredCallsSlow();
}

// Drops this thread's queued calls without running them (teardown).
void dropDeferredCalls() noexcept;

} // namespace qx
