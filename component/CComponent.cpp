// component/CComponent.cpp -- construction and destruction of components, the change notification that
// counts changes and climbs the owner chain, the suppression bytes, the default marker, and the write check.
// The container side here describes a container with no derived lists and no change methods; CPropList
// overrides it. Callback slots and their firing arrive with the callback step (see fireChangedCallback).
#include "component/CComponent.h"

#include <utility>

namespace qx {

CComponent::CComponent(std::string name, CComponent* owner) : owner_(owner), name_(std::move(name)) {}

CComponent::CComponent(const CComponent& source, CComponent* newOwner, const std::string* newName)
    : changeCount_(source.changeCount_),
      valueChangeCount_(source.valueChangeCount_),
      userValue_(source.userValue_),
      methodSuppressed_(source.methodSuppressed_),
      callbackSuppressed_(source.callbackSuppressed_),
      accessNotified_(source.accessNotified_),
      owner_(newOwner),
      name_(newName ? *newName : source.name_) {
    // Attaching the clone to the source's callbacks belongs to the callback step.
}

CComponent::~CComponent() {
    // Detaching from callbacks belongs to the callback step. The shared data may outlive this component in
    // other holders; once its creator is gone nobody may change it.
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
    fireChangedCallback();
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
