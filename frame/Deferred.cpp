// frame/Deferred.cpp -- the per-thread queue of frame/Deferred.h. Each run takes the whole queue first,
// so calls queued by the caller's own functions (through nested exported calls) land in a fresh queue:
// a nested call runs only what it queued itself, and the outer run picks up whatever is left afterwards.
#include "frame/Deferred.h"

#include <utility>

namespace qx {

namespace {
thread_local detail::DeferredQueue t_queue;
} // namespace

void deferCall(std::unique_ptr<DeferredCall> call) {
    detail::t_deferred = &t_queue;
    t_queue.calls.push_back(std::move(call));
}

void detail::runDeferredCallsSlow() {
    while (!t_queue.calls.empty()) {
        std::vector<std::unique_ptr<DeferredCall>> batch;
        batch.swap(t_queue.calls);
        std::size_t next = 0;
        try {
            for (; next < batch.size(); ++next) batch[next]->run();
        } catch (...) {
            t_queue.calls.clear();
            throw;
        }
    }
}

// Touches the queue only where this thread has used it: a thread-local with a destructor is registered on
// first use, and a module unloaded without ever deferring anything must leave no such registration.
void dropDeferredCalls() noexcept {
    if (detail::t_deferred != nullptr) detail::t_deferred->calls.clear();
}

} // namespace qx
