// platform/Thread.cpp -- POSIX answers to "which thread, which process am I".
//
// gettid() and getpid() are system calls, and the logger asks both on every message: the answers are kept (per
// thread, per process). A fork()ed child is a process of its own whose one thread has an ID of its own, so
// the child forgets both inherited answers.
#include "platform/Thread.h"

#include <atomic>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qx::platform {

namespace {
thread_local std::uint64_t t_threadId = 0;
std::atomic<std::uint32_t> g_processId{0};
void forgetIdsInChild() {
    t_threadId = 0;
    g_processId.store(0, std::memory_order_relaxed);
}
[[maybe_unused]] const int g_forkHook = pthread_atfork(nullptr, nullptr, forgetIdsInChild);
} // namespace

std::uint64_t currentThreadId() noexcept {
    if (t_threadId == 0) t_threadId = static_cast<std::uint64_t>(::syscall(SYS_gettid));
    return t_threadId;
}

std::uint32_t currentProcessId() noexcept {
    std::uint32_t id = g_processId.load(std::memory_order_relaxed);
    if (id == 0) {
        id = static_cast<std::uint32_t>(::getpid());
        g_processId.store(id, std::memory_order_relaxed);
    }
    return id;
}

} // namespace qx::platform
