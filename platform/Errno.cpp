// platform/Errno.cpp -- errno to platform results, kept in one file so every wait reads errors alike.
#include "platform/Errno.h"

#include <cerrno>

namespace qx::platform {

WaitResult waitResultOf(int error) noexcept {
    if (error == 0) return WaitResult::Signalled;
    if (error == EOWNERDEAD) return WaitResult::Abandoned;
    return WaitResult::TimedOutOrFailed;  // EBUSY, ETIMEDOUT, ENOTRECOVERABLE, EINVAL, EAGAIN, EDEADLK
}

WakeReason wakeReasonOf(int error) noexcept {
    if (error == ETIMEDOUT) return WakeReason::TimedOut;
    // EAGAIN: the word changed before we slept; EINTR: a signal. Both mean "look again".
    if (error == EAGAIN || error == EINTR) return WakeReason::Retry;
    return WakeReason::TimedOut;
}

bool isInterrupted(int error) noexcept { return error == EINTR; }

} // namespace qx::platform
