// platform/Thread.h -- identities of the calling thread and process, for locks and log lines.
#pragma once

#include <cstdint>

namespace qx::platform {

// A value unique to the calling thread among live threads, never 0.
std::uintptr_t currentThreadToken() noexcept;
// The operating system's thread ID of the calling thread.
std::uint64_t currentThreadId() noexcept;
std::uint32_t currentProcessId() noexcept;

} // namespace qx::platform
