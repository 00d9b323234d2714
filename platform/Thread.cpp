// platform/Thread.cpp -- POSIX answers to "which thread, which process am I".
#include "platform/Thread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace qx::platform {

std::uint64_t currentThreadId() noexcept { return static_cast<std::uint64_t>(::syscall(SYS_gettid)); }

std::uint32_t currentProcessId() noexcept { return static_cast<std::uint32_t>(::getpid()); }

} // namespace qx::platform
