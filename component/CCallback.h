// component/CCallback.h -- the caller's callback objects: a function of the caller with a copy of its user
// data, attached to any number of components (each component holds at most one callback per kind).
// CCallbackComponentChanged (kind 0) is told that a component changed; CCallbackPropertyAccess (kinds 1
// to 3) takes part in reads, writes and first accesses.
//
// Lifetime: counted. The callback table holds one reference; a running kind-0 call holds another, so a
// delete from inside the call (or from another thread) destroys the object only when the call is over.
// Components hold no reference: the attached set is the link back, and the destructor empties it.
//
// Running state (kind 0 only; the protocol is in docs/callbacks.md): the thread whose call is running,
// guarded by stateLock_. Waiters for the end of a call use a condition variable, so every waiter wakes;
// the running thread itself never waits for its own call. Everything else is guarded by the
// component-access lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "qxPropHandling.h"

namespace qx {

class CComponent;

class CCallback {
public:
    virtual ~CCallback();
    CCallback(const CCallback&) = delete;
    CCallback& operator=(const CCallback&) = delete;

    std::uint32_t kind() const { return kind_; }

    // The attached set. attach answers false when the component was there already, detach when it was not.
    bool attach(CComponent* component) { return attached_.insert(component).second; }
    bool detach(CComponent* component) { return attached_.erase(component) != 0; }
    const std::set<CComponent*>& attached() const { return attached_; }

    // Calls the caller's function for the component named by handle, with the component-access lock left
    // once around the call. Returns the function's result (0 for kind 0).
    virtual int execute(HOBJ handle, CallParam* values, std::size_t count) = 0;

    void addRef() { refs_.fetch_add(1, std::memory_order_relaxed); }
    // The release that drops the last reference destroys the callback.
    void release() {
        if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }

    // Takes the callback off every component that holds it and marks it deleted: calls already queued
    // for it are dropped. What is left is for the last reference to free.
    void retire();
    bool retired() const { return retired_; }

    // Kind-0 re-entrancy guard: cleared while a call of this callback runs.
    bool enabled() const { return enabled_; }
    void setEnabled(bool value) { enabled_ = value; }

    // True while a call of this callback runs on a thread other than the calling one.
    bool runningElsewhere() const;
    // Waits until no call of this callback runs on another thread. Call with the component-access lock
    // left: the running call may need it before it ends.
    void waitUntilIdle() const;

protected:
    CCallback(std::uint32_t kind, const CallParam* userData, std::size_t userDataCount);

    const std::vector<CallParam>& userData() const { return userData_; }
    // Marks a call of this callback as running on this thread for one scope, and wakes every waiter when
    // the scope ends, however it ends.
    class RunningScope {
    public:
        explicit RunningScope(CCallback& callback);
        ~RunningScope();
        RunningScope(const RunningScope&) = delete;
        RunningScope& operator=(const RunningScope&) = delete;

    private:
        CCallback& callback_;
    };

private:
    const std::uint32_t kind_;
    std::vector<CallParam> userData_; // copied byte for byte; texts behind String elements are the caller's
    std::set<CComponent*> attached_;
    std::atomic<std::int32_t> refs_{1};
    bool enabled_ = true;
    bool retired_ = false;
    mutable std::mutex stateLock_;
    mutable std::condition_variable idle_;
    std::uintptr_t runningOn_ = 0; // thread token of the running call, 0 when none
};

class CCallbackComponentChanged final : public CCallback {
public:
    // userData must hold at least one element: its value is what the function receives.
    CCallbackComponentChanged(FeatureChangedFunction function, const CallParam* userData, std::size_t userDataCount);
    int execute(HOBJ handle, CallParam* values, std::size_t count) override;

private:
    FeatureChangedFunction function_;
};

class CCallbackPropertyAccess final : public CCallback {
public:
    CCallbackPropertyAccess(std::uint32_t kind, MethodFunction function, const CallParam* userData,
                            std::size_t userDataCount);
    int execute(HOBJ handle, CallParam* values, std::size_t count) override;

private:
    MethodFunction function_;
};

// The ParamType code of a property value type: Int32 1, Double 2, Pointer 3, String 4, Int64 10; any other 1.
std::uint32_t paramTypeOf(std::uint32_t valueType);

} // namespace qx
