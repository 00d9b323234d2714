// component/CComponentSharedData.cpp -- the client check and the setters of shared component data, and the
// visibility warning. Not here: who holds the data (SharedHolder, in the header), property limits and
// dictionaries (property/CPropertySharedData.cpp).
#include "component/CComponentSharedData.h"

#include "component/CComponent.h"
#include "component/Vocabulary.h"
#include "frame/Eqx.h"
#include "frame/Log.h"

namespace qx {

namespace {
const char* const featureWhere = "CComponentSharedData::setFeature";
const char* const flagWhere = "CComponentSharedData::setFlag";
const std::string emptyText;
const std::vector<std::uint16_t> noFeatures;

// Assigns value to field when it differs; the shared "compare, assign" step of every setter.
template <class T>
bool assignIfDifferent(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}
} // namespace

CComponentSharedData::CComponentSharedData(std::uint32_t type, std::uint32_t flags, const CComponent* owner)
    : type_(type), flags_(flags), owner_(owner) {}

CComponentSharedData::CComponentSharedData(const CComponentSharedData& source, const CComponent* newOwner)
    : type_(source.type_), flags_(source.flags_), owner_(newOwner) {
    copyDescriptionFrom(source);
}

CComponentSharedData::~CComponentSharedData() = default;

const std::string& CComponentSharedData::displayName() const { return extras_ ? extras_->displayName : emptyText; }
const std::string& CComponentSharedData::docString() const { return extras_ ? extras_->docString : emptyText; }
const std::vector<std::uint16_t>& CComponentSharedData::selectedFeatures() const {
    return extras_ ? extras_->selectedFeatures : noFeatures;
}
const std::vector<std::uint16_t>& CComponentSharedData::selectingFeatures() const {
    return extras_ ? extras_->selectingFeatures : noFeatures;
}

CComponentSharedData::Extras& CComponentSharedData::extras() {
    if (!extras_) extras_ = std::make_unique<Extras>();
    return *extras_;
}

void CComponentSharedData::checkClient(const CComponent* client, const char* where) const {
    if (client == owner_ && client != nullptr) return;
    if (client == nullptr) throw EInvalidInputParameter(std::string(where) + ": Invalid 'pClient' pointer detected!");
    throw noWriteRights(*client);
}

void CComponentSharedData::forgetOwner(const CComponent* dying) {
    if (owner_ == dying) owner_ = nullptr;
}

bool CComponentSharedData::setFlag(std::uint32_t mask, bool value, const CComponent* client) {
    checkClient(client, flagWhere);
    if (mask == QX_CF_ALWAYS_FORCE_CLONE && isPropertyType(client->type()) && client->owner() != nullptr &&
        client->owner()->takesPartInDerivation()) {
        // A derived list decides per property whether it shows the parent's object or its own clone;
        // switching that after derivation would leave the family inconsistent.
        throw noWriteRights(*client);
    }
    if (((flags_ & mask) == mask) == value) return false;
    flags_ = (flags_ & ~mask) | (value ? mask : 0u);
    ++changeCount_;
    return true;
}

bool CComponentSharedData::setUserData(void* userData, const CComponent* client) {
    checkClient(client, featureWhere);
    if (!assignIfDifferent(userData_, userData)) return false;
    ++changeCount_;
    return true;
}

bool CComponentSharedData::setDisplayName(const std::string& displayName, const CComponent* client) {
    checkClient(client, featureWhere);
    if (displayName == this->displayName()) return false;
    extras().displayName = displayName;
    ++changeCount_;
    return true;
}

bool CComponentSharedData::setDocString(const std::string& docString, const CComponent* client) {
    checkClient(client, featureWhere);
    if (docString == this->docString()) return false;
    extras().docString = docString;
    ++changeCount_;
    return true;
}

bool CComponentSharedData::setRepresentation(std::uint32_t representation, const CComponent* client) {
    checkClient(client, featureWhere);
    if (!assignIfDifferent(representation_, representation)) return false;
    ++changeCount_;
    return true;
}

bool CComponentSharedData::setVisibility(std::uint32_t visibility, const CComponent* client) {
    // The warning comes first and never refuses the change: callers build trees top-down and bottom-up,
    // so an inconsistency here may be repaired a moment later.
    if (client != nullptr) {
        for (const CComponent* list = client->owner(); list != nullptr; list = list->owner()) {
            const CComponentSharedData* data = list->sharedData();
            if (data == nullptr || data->visibility() <= visibility) continue;
            logWarning("%s(%d): A sub-components visibility should not be greater than the visibility of "
                       "any list it resides in. Sub-Component: %s(desired visibility: %s), Parent: "
                       "%s(visibility: %s).\n",
                       "qx::CComponentSharedData::setVisibility", 202, client->name().c_str(),
                       visibilityText(visibility).c_str(), list->name().c_str(),
                       visibilityText(data->visibility()).c_str());
        }
    }
    checkClient(client, featureWhere);
    if (!assignIfDifferent(visibility_, visibility)) return false;
    ++changeCount_;
    return true;
}

std::vector<std::uint16_t>& CComponentSharedData::selectedFeaturesFor(const CComponent* client) {
    checkClient(client, featureWhere);
    return extras().selectedFeatures;
}

std::vector<std::uint16_t>& CComponentSharedData::selectingFeaturesFor(const CComponent* client) {
    checkClient(client, featureWhere);
    return extras().selectingFeatures;
}

void CComponentSharedData::copyDescriptionFrom(const CComponentSharedData& source) {
    flags_ = source.flags_;
    representation_ = source.representation_;
    visibility_ = source.visibility_;
    if (source.extras_ && (!source.extras_->displayName.empty() || !source.extras_->docString.empty())) {
        extras().displayName = source.extras_->displayName;
        extras().docString = source.extras_->docString;
    }
}

} // namespace qx
