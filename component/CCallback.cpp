// component/CCallback.cpp -- the callback objects: construction with the copied user data, the running
// state of kind-0 calls, the two ways of calling the caller's function, and the destructor that takes the
// callback off every component that still holds it.
#include "component/CCallback.h"

#include "component/CComponent.h"
#include "frame/Log.h"
#include "platform/Thread.h"
#include "sync/CCriticalSection.h"

namespace qx {

CCallback::CCallback(std::uint32_t kind, const CallParam* userData, std::size_t userDataCount)
    : kind_(kind), userData_(userData, userData + (userData != nullptr ? userDataCount : 0)) {}

void CCallback::retire() {
    retired_ = true;
    while (!attached_.empty()) {
        CComponent* component = *attached_.begin();
        if (!component->configureCallback(kind_, nullptr)) attached_.erase(attached_.begin());
    }
}

CCallback::~CCallback() {
    while (!attached_.empty()) {
        CComponent* component = *attached_.begin();
        if (!component->configureCallback(kind_, nullptr)) {
            logDiagnostic("%s(%d)(%p): Failed to unregister from component '%s'(%p). Most likely someone else has "
                          "temporarily unregistered the callback in parallel. Removing dead reference now.\n",
                          "qx::CCallback::~CCallback", 60, static_cast<void*>(this), component->name().c_str(),
                          static_cast<void*>(component));
            attached_.erase(attached_.begin());
        }
    }
}

bool CCallback::runningElsewhere() const {
    std::lock_guard<std::mutex> lock(stateLock_);
    return runningOn_ != 0 && runningOn_ != platform::currentThreadToken();
}

void CCallback::waitUntilIdle() const {
    std::unique_lock<std::mutex> lock(stateLock_);
    const std::uintptr_t me = platform::currentThreadToken();
    idle_.wait(lock, [&] { return runningOn_ == 0 || runningOn_ == me; });
}

CCallback::RunningScope::RunningScope(CCallback& callback) : callback_(callback) {
    std::lock_guard<std::mutex> lock(callback_.stateLock_);
    callback_.runningOn_ = platform::currentThreadToken();
}

CCallback::RunningScope::~RunningScope() {
    {
        std::lock_guard<std::mutex> lock(callback_.stateLock_);
        callback_.runningOn_ = 0;
    }
    callback_.idle_.notify_all();
}

CCallbackComponentChanged::CCallbackComponentChanged(FeatureChangedFunction function, const CallParam* userData,
                                                     std::size_t userDataCount)
    : CCallback(QX_CB_COMPONENT_CHANGED, userData, userDataCount), function_(function) {}

int CCallbackComponentChanged::execute(HOBJ handle, CallParam*, std::size_t) {
    const auto userValue = static_cast<uintptr_t>(userData()[0].value.bits);
    // The running mark ends before the lock is entered again: a waiter that holds the lock more than once
    // (qxLockCompAccess around its detach) must be woken without needing this thread to get the lock.
    CompAccessUnlock unlock;
    RunningScope running(*this);
    function_(handle, userValue);
    return 0;
}

CCallbackPropertyAccess::CCallbackPropertyAccess(std::uint32_t kind, MethodFunction function,
                                                 const CallParam* userData, std::size_t userDataCount)
    : CCallback(kind, userData, userDataCount), function_(function) {}

int CCallbackPropertyAccess::execute(HOBJ handle, CallParam* values, std::size_t count) {
    // The function may delete this callback while it runs: everything it needs is copied first, and the
    // object is not touched after the call.
    std::vector<CallParam> copy = userData();
    const MethodFunction function = function_;
    CompAccessUnlock unlock;
    return function(handle, 0xFFFFFFFFu, copy.data(), copy.size(), values, count);
}

std::uint32_t paramTypeOf(std::uint32_t valueType) {
    switch (valueType) {
    case QX_VT_DOUBLE: return QX_PT_DOUBLE;
    case QX_VT_POINTER: return QX_PT_POINTER;
    case QX_VT_STRING: return QX_PT_STRING;
    case QX_VT_INT64: return QX_PT_INT64;
    default: return QX_PT_INT32;
    }
}

} // namespace qx
