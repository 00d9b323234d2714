// sync/CSyncObj.h -- the common base of the library's mutex, semaphore and event objects: each owns one
// platform handle, created in its constructor and closed in its destructor. No operation throws (only
// std::bad_alloc can leave a constructor): a failed creation leaves a null handle, and later operations then
// report false or 2.
#pragma once

#include "platform/SyncHandle.h"

namespace qx {

class CSyncObj {
public:
    // Results of waitFor.
    static constexpr unsigned kAbandoned = 0;  // a mutex whose owner ended without releasing it; now ours
    static constexpr unsigned kSignalled = 1;
    static constexpr unsigned kTimedOut = 2;   // also any failure, including a null handle
    static constexpr unsigned kInfinite = platform::kWaitForever;

    CSyncObj(const CSyncObj&) = delete;
    CSyncObj& operator=(const CSyncObj&) = delete;
    virtual ~CSyncObj() = default;

    // The native handle; null when creation failed.
    virtual platform::SyncHandle* handle() const noexcept = 0;

    // timeoutMs 0 tests without waiting; kInfinite waits without limit.
    unsigned waitFor(unsigned timeoutMs) noexcept {
        platform::SyncHandle* h = handle();
        return h ? static_cast<unsigned>(h->wait(timeoutMs)) : kTimedOut;
    }

protected:
    CSyncObj() = default;
};

} // namespace qx
