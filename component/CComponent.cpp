// component/CComponent.cpp -- construction and destruction of components, the change notification that
// counts changes and climbs the owner chain, the suppression bytes, the default marker, and the write check.
// The container side here describes a container with no derived lists and no change methods; CPropList
// overrides it. Also the component's side of callers' code: callback slots, registered methods, and the
// firing of the component-changed and first-access callbacks.
#include "component/CComponent.h"

#include <algorithm>
#include <utility>

#include "component/CCallback.h"
#include "component/EntryEpoch.h"
#include "frame/Deferred.h"

namespace qx {

namespace {
// Guard: the component-access lock (components are made and destroyed under it).
constinit std::uint64_t g_componentsDestroyed = 0;

// A component-changed callback queued by a notification: fires at the end of the exported call, with
// the reference taken at queue time keeping the callback alive if it is deleted meanwhile.
class ChangedCallbackCall final : public DeferredCall {
public:
    ChangedCallbackCall(CCallback* callback, HOBJ handle) : callback_(callback), handle_(handle) { callback_->addRef(); }
    ~ChangedCallbackCall() override { callback_->release(); }
    ChangedCallbackCall(const ChangedCallbackCall&) = delete;
    ChangedCallbackCall& operator=(const ChangedCallbackCall&) = delete;

    void run() override {
        // A call of this callback running now (on this thread further out, or on another) means the change
        // happened during that call: the callback is not called again for it.
        if (!callback_->enabled() || callback_->retired()) return;
        callback_->setEnabled(false);
        struct Reenable {
            CCallback* callback;
            ~Reenable() { callback->setEnabled(true); }
        } reenable{callback_};
        callback_->execute(handle_, nullptr, 0);
    }

private:
    CCallback* callback_;
    HOBJ handle_;
};
} // namespace

std::uint64_t componentsDestroyed() { return g_componentsDestroyed; }

void TreeWatch::check() const {
    if (componentsDestroyed() != start_)
        throw EComponentIDInvalid("Components were deleted while a callback or method ran; the operation was stopped");
}

CComponent::CComponent(std::string name, CComponent* owner) : owner_(owner), name_(std::move(name)) {}

CComponent::CComponent(const CComponent& source, CComponent* newOwner, const std::string* newName)
    : changeCount_(source.changeCount_),
      valueChangeCount_(source.valueChangeCount_),
      userValue_(source.userValue_),
      methodSuppressed_(source.methodSuppressed_),
      callbackSuppressed_(source.callbackSuppressed_),
      accessNotified_(source.accessNotified_),
      owner_(newOwner),
      name_(newName ? *newName : source.name_) {}

CComponent::~CComponent() {
    ++g_componentsDestroyed;
    moveEntryEpoch();
    dropCallerHooks();
    // The shared data may outlive this component in other holders; once its creator is gone nobody may
    // change it.
    if (shared_) shared_->forgetOwner(this);
}

int CComponent::raiseChangeNotification(bool valueChanged, bool valueCounted, bool /*dependentsForced*/,
                                        bool forceNotify) {
    ++changeCount_;
    if (valueCounted) ++valueChangeCount_;
    if (owner_ == nullptr) return 0;
    owner_->raiseChangeNotification(valueChanged, valueCounted, false, false);
    int result = 0;
    if (valueChanged) {
        if (methodSuppressed_ == 0) result = owner_->callMemberChangeMethod(*this);
    } else if (!forceNotify) {
        return 0;
    }
    queueChangedCallback();
    return result;
}

bool CComponent::isDefault() { return defaultMarker_ != 0; }

void CComponent::invalidate() {
    accessNotified_ = 0;
    raiseChangeNotification(false, true, true, true);
}

std::uint8_t CComponent::setMethodSuppressed(std::uint8_t value) {
    const std::uint8_t old = methodSuppressed_;
    if (old != value) {
        methodSuppressed_ = value;
        raiseChangeNotification(true, true, false, false);
    }
    return old;
}

std::uint8_t CComponent::setCallbackSuppressed(std::uint8_t value) {
    const std::uint8_t old = callbackSuppressed_;
    callbackSuppressed_ = value;
    return old;
}

void CComponent::memberValueChanged(CComponent&, bool) {}

int CComponent::callMemberChangeMethod(CComponent&) { return 0; }

bool CComponent::takesPartInDerivation() const { return false; }

HOBJ CComponent::handleOfMember(std::uint16_t) const { return 0xFFFFFFFFu; }

// ---- callers' code --------------------------------------------------------------------------------------

CallerHooks& CComponent::hooks() {
    if (!hooks_) hooks_ = std::make_unique<CallerHooks>();
    return *hooks_;
}

bool CComponent::configureCallback(std::uint32_t kind, CCallback* callback) {
    if (kind != QX_CB_COMPONENT_CHANGED && kind != QX_CB_COMPONENT_ACCESS) {
        throw EImplementationMissing(formatText("Invalid/Unsupported callback type(%d) passed to function %s",
                                                static_cast<int>(kind), "qx::CComponent::configureCallback"));
    }
    return setCallbackSlot(kind, callback);
}

bool CComponent::setCallbackSlot(std::uint32_t kind, CCallback* callback) {
    CCallback* old = this->callback(kind);
    if (old == callback) return false;
    hooks().callbacks[kind] = callback;
    const bool removed = old != nullptr && old->detach(this);
    if (callback == nullptr) {
        releaseEmptyHooks();
        return removed;
    }
    return callback->attach(this);
}

void CComponent::releaseEmptyHooks() noexcept {
    const CallerHooks& h = *hooks_;
    for (const CCallback* callback : h.callbacks)
        if (callback != nullptr) return;
    // Without any, reads and writes go back to their quick paths.
    if (h.changeMethod == nullptr && h.validationMethod == nullptr && h.registeredOn.empty()) hooks_.reset();
}

void CComponent::registerCallback(CComponent* method, std::uint32_t kind) {
    if (kind != QX_CB_COMPONENT_CHANGED) {
        throw EImplementationMissing(formatText("Invalid callback type(%d) passed for registration. OnRead/OnWrite "
                                                "callbacks should no longer be passed to this function.",
                                                static_cast<int>(kind)));
    }
    // The new method is told at once, under the usual conditions of the notification.
    if (setRegisteredMethod(&CallerHooks::changeMethod, method)) raiseChangeNotification(true, true, false, false);
    if (method == nullptr && hooks_) releaseEmptyHooks();
}

bool CComponent::setRegisteredMethod(CComponent* CallerHooks::*slot, CComponent* method) {
    CComponent* old = hooks_ ? (*hooks_).*slot : nullptr;
    if (old == method) return false;
    hooks().*slot = method;
    auto unlink = [this](CComponent* from) {
        if (from == nullptr || !from->hooks_) return;
        // Registered twice (change and validation method) means listed twice; one registration goes.
        std::vector<CComponent*>& on = from->hooks_->registeredOn;
        if (auto at = std::find(on.begin(), on.end(), this); at != on.end()) on.erase(at);
    };
    unlink(old);
    if (method != nullptr) method->hooks().registeredOn.push_back(this);
    return true;
}

int CComponent::invokeRegistered(HOBJ hMethod, CallParam*, std::size_t) {
    throw ENotAMethod(formatText("%s(0x%08x), ", name().c_str(), hMethod));
}

void CComponent::copyCallerHooks(const CComponent& source) {
    if (!source.hooks_) return;
    for (std::uint32_t kind = 0; kind < source.hooks_->callbacks.size(); ++kind) {
        if (CCallback* callback = source.hooks_->callbacks[kind]) configureCallback(kind, callback);
    }
    setRegisteredMethod(&CallerHooks::changeMethod, source.hooks_->changeMethod);
    setRegisteredMethod(&CallerHooks::validationMethod, source.hooks_->validationMethod);
}

void CComponent::dropCallerHooks() noexcept {
    if (!hooks_) return;
    for (std::uint32_t kind = 0; kind < hooks_->callbacks.size(); ++kind) {
        if (CCallback* callback = hooks_->callbacks[kind]) {
            hooks_->callbacks[kind] = nullptr;
            callback->detach(this);
        }
    }
    setRegisteredMethod(&CallerHooks::changeMethod, nullptr);
    setRegisteredMethod(&CallerHooks::validationMethod, nullptr);
    // Components that registered this one as their method forget it.
    for (CComponent* user : hooks_->registeredOn) {
        if (!user->hooks_) continue;
        if (user->hooks_->changeMethod == this) user->hooks_->changeMethod = nullptr;
        if (user->hooks_->validationMethod == this) user->hooks_->validationMethod = nullptr;
    }
    hooks_.reset();
}

void CComponent::queueChangedCallbackSlow() {
    CCallback* callback = this->callback(QX_CB_COMPONENT_CHANGED);
    if (callback == nullptr || !callback->enabled() || callbackSuppressed_ != 0) return;
    deferCall(std::make_unique<ChangedCallbackCall>(callback, handle()));
}

bool CComponent::fireAccessCallback() {
    CCallback* callback = this->callback(QX_CB_COMPONENT_ACCESS);
    if (callback == nullptr) return false;
    callback->execute(handle(), nullptr, 0);
    return true;
}

std::uint32_t CComponent::handOverEntryFlags() {
    const std::uint32_t entryFlags = flags() & QX_CF_ENTRY_MASK;
    // One bit at a time: setFlag treats a mask as "all of these bits", so a partly set mask would not clear.
    for (std::uint32_t bit = 1; bit != 0 && bit <= entryFlags; bit <<= 1) {
        if ((entryFlags & bit) != 0) shared_->setFlag(bit, false, this);
    }
    return entryFlags;
}

void CComponent::setDefaultMarker(std::uint8_t value) {
    if (owner_ != nullptr && owner_->isDefault() != (value != 0)) owner_->setDefaultMarker(value);
    defaultMarker_ = value;
}

ENoWriteRights noWriteRights(const CComponent& component, const std::string& reason) {
    return ENoWriteRights("No write rights for component '" + component.name() + "'" + reason);
}

void checkWriteRights(std::uint32_t rights, const CComponent& component) {
    if ((rights & rightsForce) != 0 || (component.flags() & QX_CF_WRITE_ACCESS) != 0) return;
    throw noWriteRights(component);
}

} // namespace qx
