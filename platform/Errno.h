// platform/Errno.h -- the one place where a system error number becomes a result of the platform layer.
// The sync objects never throw, so what they need from an errno is an outcome, not an exception.
#pragma once

#include "platform/SyncHandle.h"

namespace qx::platform {

// Result of a mutex acquisition call (0 or an error number as pthread returns it).
WaitResult waitResultOf(int error) noexcept;

enum class WakeReason { Woken, TimedOut, Retry };
// Result of a futex wait that failed with this errno.
WakeReason wakeReasonOf(int error) noexcept;

// Whether a failed call should simply be repeated.
bool isInterrupted(int error) noexcept;

} // namespace qx::platform
