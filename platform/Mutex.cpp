// platform/Mutex.cpp -- owns the Linux stand-in for a (named) mutex: a robust, recursive pthread mutex, in the
// payload of a NamedObject when named (process-shared) and on the heap when not. Why robust: a holder that
// dies (thread or process) must not wedge the others; the next locker gets EOWNERDEAD, makes the mutex
// consistent and is told it was abandoned. Recursive robust mutexes also refuse an unlock by a non-owner
// (EPERM), which is exactly the release() contract; the owner check happens before the call (heldByCaller).
//
// A robust mutex is linked into its owner thread's robust list, so its memory must not go away while it is
// held. A named mutex that the calling thread still owns at its last close stays mapped and owned: when the
// thread or process ends, the kernel marks it abandoned, and the next waiter anywhere is told so -- what a
// mutex of a process that exits while owning it must look like. An unnamed mutex is released by its last
// close, and one still held by another thread is left allocated rather than freed under it.
#include "platform/Mutex.h"

#include <cerrno>
#include <ctime>
#include <new>

#include <linux/futex.h>
#include <pthread.h>
#include <unistd.h>

#include "platform/Errno.h"
#include "platform/NamedObject.h"
#include "platform/Thread.h"

namespace qx::platform {

namespace {

bool initRobustMutex(pthread_mutex_t* mutex, bool processShared) {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) return false;
    const bool ok = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
                    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
                    pthread_mutexattr_setpshared(&attr, processShared ? PTHREAD_PROCESS_SHARED
                                                                      : PTHREAD_PROCESS_PRIVATE) == 0 &&
                    pthread_mutex_init(mutex, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
    return ok;
}

// The lock word of a robust mutex holds its owner's thread ID (the kernel clears it when the owner dies).
// Asking it first keeps release() from calling unlock for a thread that does not own the mutex: the answer
// would be the same (EPERM), but thread checkers report such an unlock as a bug.
unsigned callerThreadId() { return static_cast<unsigned>(currentThreadId()); }

bool heldByCaller(pthread_mutex_t* mutex) {
    const unsigned word = static_cast<unsigned>(__atomic_load_n(&mutex->__data.__lock, __ATOMIC_RELAXED));
    return (word & FUTEX_TID_MASK) == callerThreadId();
}

void releaseAllHeldByCaller(pthread_mutex_t* mutex) {
    while (heldByCaller(mutex) && pthread_mutex_unlock(mutex) == 0) {
    }
}

// pthread_mutex_timedlock takes an absolute CLOCK_REALTIME time.
timespec realtimeAfter(unsigned ms) {
    timespec at{};
    clock_gettime(CLOCK_REALTIME, &at);
    at.tv_sec += static_cast<time_t>(ms / 1000);
    at.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (at.tv_nsec >= 1000000000L) {
        at.tv_sec += 1;
        at.tv_nsec -= 1000000000L;
    }
    return at;
}

struct InitRequest {
    bool initialOwner;
};

bool initNamed(void* payload, const void* context) {
    auto* mutex = static_cast<pthread_mutex_t*>(payload);
    return initRobustMutex(mutex, true) &&
           (!static_cast<const InitRequest*>(context)->initialOwner || pthread_mutex_lock(mutex) == 0);
}

bool releaseNamed(void* payload) { return !heldByCaller(static_cast<pthread_mutex_t*>(payload)); }

} // namespace

struct Mutex::Impl {
    std::unique_ptr<NamedObject> named;  // null for an unnamed mutex
    pthread_mutex_t* mutex = nullptr;    // in named's payload, or owned here when unnamed

    ~Impl() {
        if (named || !mutex) return;
        releaseAllHeldByCaller(mutex);
        const int rc = pthread_mutex_trylock(mutex);
        if (rc == EBUSY) return;  // another thread holds it; its robust list still points here
        if (rc == EOWNERDEAD) pthread_mutex_consistent(mutex);
        if (rc == 0 || rc == EOWNERDEAD) pthread_mutex_unlock(mutex);
        pthread_mutex_destroy(mutex);
        delete mutex;
    }
};

Mutex::Mutex(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}
Mutex::~Mutex() = default;

std::unique_ptr<Mutex> Mutex::create(bool initialOwner, const char* name) {
    auto impl = std::make_unique<Impl>();
    if (name && *name) {
        const InitRequest request{initialOwner};
        impl->named = NamedObject::open(name, ObjectKind::Mutex, sizeof(pthread_mutex_t), initNamed, &request,
                                        releaseNamed);
        if (!impl->named) return nullptr;
        impl->mutex = static_cast<pthread_mutex_t*>(impl->named->payload());
    } else {
        auto* mutex = new pthread_mutex_t;
        if (!initRobustMutex(mutex, false)) {
            delete mutex;
            return nullptr;
        }
        impl->mutex = mutex;
        if (initialOwner && pthread_mutex_lock(mutex) != 0) return nullptr;
    }
    return std::make_unique<Mutex>(std::move(impl));
}

WaitResult Mutex::wait(unsigned timeoutMs) noexcept {
    pthread_mutex_t* mutex = impl_->mutex;
    // Trying first spares the clock reading when the mutex is free (or abandoned) and is all a 0 time-out asks.
    int rc = pthread_mutex_trylock(mutex);
    if (rc == EBUSY && timeoutMs == kWaitForever) {
        rc = pthread_mutex_lock(mutex);
    } else if (rc == EBUSY && timeoutMs != 0) {
        const timespec until = realtimeAfter(timeoutMs);
        rc = pthread_mutex_timedlock(mutex, &until);
    }
    if (rc == EOWNERDEAD && pthread_mutex_consistent(mutex) != 0) return WaitResult::TimedOutOrFailed;
    return waitResultOf(rc);
}

bool Mutex::release() noexcept { return heldByCaller(impl_->mutex) && pthread_mutex_unlock(impl_->mutex) == 0; }

bool Mutex::existedBefore() const noexcept { return impl_->named && impl_->named->existedBefore(); }

bool namedMutexExists(const char* name) { return name && *name && namedObjectExists(name, ObjectKind::Mutex); }

} // namespace qx::platform
