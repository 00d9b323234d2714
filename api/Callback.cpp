// api/Callback.cpp -- the callback functions: create, attach, detach and delete callbacks, and register a
// method as a component's change method or a property's validation method. Each is a thin frame: check
// arguments, resolve handles, delegate, and let guarded() report.
//
// Attach, detach and delete never change a slot whose component-changed callback is running on another
// thread: they wait for that call to end with the lock left, then look everything up again (the tree may
// have changed meanwhile). A thread never waits for its own call. The protocol is in docs/callbacks.md.
#include "api/Resolve.h"
#include "component/CCallback.h"
#include "component/CComponent.h"
#include "component/CallbackTable.h"
#include "frame/Boundary.h"
#include "list/CPropList.h"

#include <memory>

using namespace qx;

namespace {

// Waits until callback has no call running on another thread. Returns true when it had to wait.
bool waitForOtherThreads(CCallback* callback) {
    if (callback == nullptr || !callback->runningElsewhere()) return false;
    callback->addRef(); // the callback may be deleted while the lock is left
    {
        CompAccessUnlock unlock;
        callback->waitUntilIdle();
    }
    callback->release();
    return true;
}

HCALLBACK enter(std::unique_ptr<CCallback> callback, std::uint32_t handleKind) {
    const std::uint16_t index = CallbackTable::instance().add(callback.get());
    callback.release(); // the table holds it now
    return static_cast<HCALLBACK>(static_cast<std::int32_t>((handleKind << 16) | index));
}

// Puts callback (null: nothing) into the slot of kind on the component hComp names.
void configure(HOBJ hComp, HCALLBACK hCallback, bool attach) {
    for (;;) {
        CComponent& component = resolveDesignated(hComp);
        CCallback& callback = CallbackTable::instance().resolve(hCallback);
        const std::uint32_t kind = callback.kind();
        if (attach && (kind == QX_CB_PROPERTY_READ || kind == QX_CB_PROPERTY_WRITE) &&
            !isPropertyType(component.type())) {
            throw ENotAProperty(kindDetail(component, hComp));
        }
        if (kind < 4 && waitForOtherThreads(component.callback(kind))) continue;
        component.configureCallback(kind, attach ? &callback : nullptr);
        return;
    }
}

} // namespace

extern "C" {

QX_API int qxCompCreateCallback(unsigned int kind, MethodFunction pFunction, CallParam* pUserData,
                                size_t userDataCount, HCALLBACK* phCallback) {
    return guarded([&] {
        if (kind < QX_CB_PROPERTY_READ || kind > QX_CB_COMPONENT_ACCESS)
            throw EInvalidInputParameter(formatText("Unsupported callback type(%d)", static_cast<int>(kind)));
        if (pFunction == nullptr || phCallback == nullptr || (pUserData == nullptr && userDataCount != 0))
            throw EInvalidInputParameter();
        *phCallback = enter(std::make_unique<CCallbackPropertyAccess>(kind, pFunction, pUserData, userDataCount), kind);
    });
}

QX_API int qxCompCreateFeatureChangedCallback(FeatureChangedFunction pFunction, CallParam* pUserData,
                                              size_t userDataCount, HCALLBACK* phCallback) {
    return guarded([&] {
        // The function receives the value of user-data element 0 on every call, so there must be one.
        if (pFunction == nullptr || phCallback == nullptr || pUserData == nullptr || userDataCount == 0)
            throw EInvalidInputParameter();
        *phCallback = enter(std::make_unique<CCallbackComponentChanged>(pFunction, pUserData, userDataCount), 0);
    });
}

QX_API int qxCompAttachCallback(HOBJ hComp, HCALLBACK hCallback) {
    return guarded([&] { configure(hComp, hCallback, true); });
}

QX_API int qxCompDetachCallback(HOBJ hComp, HCALLBACK hCallback) {
    return guarded([&] { configure(hComp, hCallback, false); });
}

QX_API int qxCompDeleteCallback(HCALLBACK hCallback) {
    return guarded([&] {
        CCallback* callback = &CallbackTable::instance().resolve(hCallback);
        while (waitForOtherThreads(callback)) callback = &CallbackTable::instance().resolve(hCallback);
        callback->retire();
        CallbackTable::instance().remove(*callback);
    });
}

QX_API int qxCompRegisterCallback(HOBJ hComp, HOBJ hMethod, unsigned int kind) {
    return guarded([&] {
        CComponent& method = resolveComponent(hMethod);
        if (!isMethodType(method.type())) throw ENotAMethod(kindDetail(method, hMethod));
        resolveDesignated(hComp).registerCallback(&method, kind);
    });
}

} // extern "C"
