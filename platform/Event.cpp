// platform/Event.cpp -- owns the event: a 32-bit atomic "signalled" word and the reset mode, in the payload of
// a NamedObject when named and on the heap when not. Waiters sleep on the word with a futex; set() wakes them
// all, and for an auto-reset event the one whose compare-and-swap from 1 to 0 succeeds is the one released.
#include "platform/Event.h"

#include <atomic>
#include <cstdint>
#include <new>

#include "platform/Futex.h"
#include "platform/NamedObject.h"

namespace qx::platform {

namespace {

struct EventState {
    std::atomic<std::uint32_t> signalled;
    std::uint32_t manualReset;
    std::atomic<std::uint32_t> waiters{0};
};

struct InitRequest {
    bool manualReset;
    bool initiallySignalled;
};

bool initNamed(void* payload, const void* context) {
    const auto* request = static_cast<const InitRequest*>(context);
    new (payload) EventState{{request->initiallySignalled ? 1u : 0u}, request->manualReset ? 1u : 0u};
    return true;
}

} // namespace

struct Event::Impl : StateHolder<EventState> {};

Event::Event(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}
Event::~Event() = default;

std::unique_ptr<Event> Event::create(bool manualReset, bool initiallySignalled, const char* name) {
    auto impl = std::make_unique<Impl>();
    const InitRequest request{manualReset, initiallySignalled};
    const bool opened = impl->open(name, ObjectKind::Event, initNamed, &request, [&] {
        return new EventState{{initiallySignalled ? 1u : 0u}, manualReset ? 1u : 0u};
    });
    return opened ? std::make_unique<Event>(std::move(impl)) : nullptr;
}

WaitResult Event::wait(unsigned timeoutMs) noexcept {
    const Deadline deadline(timeoutMs);
    const bool shared = impl_->named != nullptr;
    EventState& state = *impl_->state;
    for (bool timedOut = false;; timedOut = !futexWait(state.signalled, 0, deadline, shared, state.waiters)) {
        std::uint32_t expected = 1;
        if (state.manualReset ? state.signalled.load(std::memory_order_acquire) == 1
                              : state.signalled.compare_exchange_strong(expected, 0, std::memory_order_acquire))
            return WaitResult::Signalled;
        if (timedOut || deadline.immediate()) return WaitResult::TimedOutOrFailed;
    }
}

bool Event::set() noexcept {
    impl_->state->signalled.store(1);  // seq_cst: ordered before the look at the waiter count
    futexWakeAll(impl_->state->signalled, impl_->named != nullptr, impl_->state->waiters);
    return true;
}

bool Event::reset() noexcept {
    impl_->state->signalled.store(0, std::memory_order_release);
    return true;
}

bool Event::existedBefore() const noexcept { return impl_->named && impl_->named->existedBefore(); }

} // namespace qx::platform
