// platform/Clock.h -- the clocks of log lines: milliseconds since the system started, the wall clock in
// 100-nanosecond units, and the local time zone's distance from UTC. POSIX stays in Clock.cpp.
#pragma once

#include <cstdint>

namespace qx::platform {

// Milliseconds since the system started, counting time spent suspended (the boot-time clock).
std::int64_t millisecondsSinceBoot() noexcept;
// UTC wall clock in 100-nanosecond units since 1970-01-01 (a midnight, so "modulo one day" gives the time of
// day in UTC).
std::int64_t systemTime100ns() noexcept;
// Milliseconds to subtract from UTC to get local time (positive west of Greenwich), as the C library sees
// the zone after tzset(), daylight saving time included when it is in force now.
std::int64_t localTimeBiasMs() noexcept;

} // namespace qx::platform
