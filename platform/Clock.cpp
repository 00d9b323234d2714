// platform/Clock.cpp -- owns the Linux clocks behind platform/Clock.h: CLOCK_BOOTTIME for the time since
// start (it keeps counting across suspend, as an uptime counter should), CLOCK_REALTIME for the wall clock,
// and localtime_r's tm_gmtoff for the zone, read after tzset() so a changed TZ is seen.
#include "platform/Clock.h"

#include <ctime>

namespace qx::platform {

std::int64_t millisecondsSinceBoot() noexcept {
    timespec ts{};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::int64_t systemTime100ns() noexcept {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

std::int64_t localTimeBiasMs() noexcept {
    ::tzset();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return 0;
    return -static_cast<std::int64_t>(local.tm_gmtoff) * 1000;
}

} // namespace qx::platform
