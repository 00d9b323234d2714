// platform/SyncHandle.h -- the "native handle" of a synchronisation object as the code above platform/ sees
// it: something one can wait on, with the three outcomes the sync layer reports. Mutex, Semaphore and Event
// derive from it; nothing here names an operating-system type.
#pragma once

namespace qx::platform {

// The numbers are the ones callers of waitFor see, so the sync layer passes them through unchanged.
enum class WaitResult : unsigned { Abandoned = 0, Signalled = 1, TimedOutOrFailed = 2 };

// A time-out of this many milliseconds waits without limit.
inline constexpr unsigned kWaitForever = 0xFFFFFFFFu;

class SyncHandle {
public:
    SyncHandle() = default;
    SyncHandle(const SyncHandle&) = delete;
    SyncHandle& operator=(const SyncHandle&) = delete;
    virtual ~SyncHandle() = default;

    // Mutex: acquire (recursively); semaphore: take one count; event: wait until signalled (an auto-reset
    // event is unsignalled again by the wait that succeeds).
    virtual WaitResult wait(unsigned timeoutMs) noexcept = 0;
};

} // namespace qx::platform
