// platform/Thread.h -- identities of the calling thread and process, for locks and log lines.
#pragma once

#include <cstdint>

namespace qx::platform {

// A value unique to the calling thread among live threads, never 0: the thread pointer, which every
// thread has from its first instruction. Inline because the component-access lock asks for it on every
// exported call.
inline std::uintptr_t currentThreadToken() noexcept {
    return reinterpret_cast<std::uintptr_t>(__builtin_thread_pointer());
}
// The operating system's thread ID of the calling thread.
std::uint64_t currentThreadId() noexcept;
std::uint32_t currentProcessId() noexcept;

} // namespace qx::platform
