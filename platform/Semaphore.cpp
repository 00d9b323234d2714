// platform/Semaphore.cpp -- owns the counting semaphore: a 32-bit atomic count and its maximum, in the payload
// of a NamedObject when named and on the heap when not. Takers sleep on the count with a futex; a release
// adds with a compare-and-swap loop, so the previous count it reports and the maximum check belong to the
// same atomic step.
#include "platform/Semaphore.h"

#include <atomic>
#include <cstdint>
#include <new>

#include "platform/Futex.h"
#include "platform/NamedObject.h"

namespace qx::platform {

namespace {

constexpr long kLargestMaximum = 0x7FFFFFFF;

struct SemaphoreState {
    std::atomic<std::uint32_t> count;
    std::uint32_t maximum;
    std::atomic<std::uint32_t> waiters{0};
};

struct InitRequest {
    long initial;
    long maximum;
};

bool initNamed(void* payload, const void* context) {
    const auto* request = static_cast<const InitRequest*>(context);
    new (payload) SemaphoreState{{static_cast<std::uint32_t>(request->initial)},
                                 static_cast<std::uint32_t>(request->maximum)};
    return true;
}

bool tryTake(std::atomic<std::uint32_t>& count) {
    std::uint32_t seen = count.load(std::memory_order_relaxed);
    while (seen > 0) {
        if (count.compare_exchange_weak(seen, seen - 1, std::memory_order_acquire, std::memory_order_relaxed))
            return true;
    }
    return false;
}

} // namespace

struct Semaphore::Impl : StateHolder<SemaphoreState> {};

Semaphore::Semaphore(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}
Semaphore::~Semaphore() = default;

std::unique_ptr<Semaphore> Semaphore::create(long initial, long maximum, const char* name) {
    if (maximum <= 0 || maximum > kLargestMaximum || initial < 0 || initial > maximum) return nullptr;
    auto impl = std::make_unique<Impl>();
    const InitRequest request{initial, maximum};
    const bool opened = impl->open(name, ObjectKind::Semaphore, initNamed, &request, [&] {
        return new SemaphoreState{{static_cast<std::uint32_t>(initial)}, static_cast<std::uint32_t>(maximum)};
    });
    return opened ? std::make_unique<Semaphore>(std::move(impl)) : nullptr;
}

WaitResult Semaphore::wait(unsigned timeoutMs) noexcept {
    const Deadline deadline(timeoutMs);
    const bool shared = impl_->named != nullptr;
    auto& count = impl_->state->count;
    for (bool timedOut = false;; timedOut = !futexWait(count, 0, deadline, shared, impl_->state->waiters)) {
        if (tryTake(count)) return WaitResult::Signalled;
        if (timedOut || deadline.immediate()) return WaitResult::TimedOutOrFailed;
    }
}

bool Semaphore::release(long count, long* previous) noexcept {
    SemaphoreState& state = *impl_->state;
    if (count <= 0 || count > static_cast<long>(state.maximum)) return false;
    std::uint32_t seen = state.count.load(std::memory_order_relaxed);
    do {
        if (static_cast<long>(seen) + count > static_cast<long>(state.maximum)) return false;
    } while (!state.count.compare_exchange_weak(seen, seen + static_cast<std::uint32_t>(count),
                                                std::memory_order_seq_cst, std::memory_order_relaxed));
    if (previous) *previous = static_cast<long>(seen);
    futexWakeAll(state.count, impl_->named != nullptr, state.waiters);
    return true;
}

bool Semaphore::existedBefore() const noexcept { return impl_->named && impl_->named->existedBefore(); }

} // namespace qx::platform
