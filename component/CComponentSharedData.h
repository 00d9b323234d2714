// component/CComponentSharedData.h -- what describes a component independently of where it is placed (type,
// flags, display name, documentation, representation, visibility, user data, feature selections), and the
// counted holder through which components share it. Derived lists and property clones may show one node in
// several places; they share one of these objects, and only the component that created it (its "client")
// may change it. Every setter takes the client, checks it, and returns whether a field really changed.
//
// Storage choice: the rarely used texts and feature sequences live in a block made on first use, so a plain
// property pays 8 bytes for them instead of ~110; the reference count sits inside the object, so a holder is
// a single pointer and sharing costs no allocation of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "qxPropHandling.h"

namespace qx {

class CComponent;

class CComponentSharedData {
public:
    // owner: the creating component, not owned; the only client allowed to change this object.
    CComponentSharedData(std::uint32_t type, std::uint32_t flags, const CComponent* owner);
    // Deep copy for another owner (a cloned list): type and description copied; counters, user data and
    // feature selections start afresh.
    CComponentSharedData(const CComponentSharedData& source, const CComponent* newOwner);
    virtual ~CComponentSharedData();
    CComponentSharedData(const CComponentSharedData&) = delete;
    CComponentSharedData& operator=(const CComponentSharedData&) = delete;

    std::uint32_t changeCount() const { return changeCount_; }
    std::uint32_t type() const { return type_; }
    std::uint32_t flags() const { return flags_; }
    const CComponent* owner() const { return owner_; }
    void* userData() const { return userData_; }
    const std::string& displayName() const;
    const std::string& docString() const;
    std::uint32_t representation() const { return representation_; }
    std::uint32_t visibility() const { return visibility_; }
    const std::vector<std::uint16_t>& selectedFeatures() const;
    const std::vector<std::uint16_t>& selectingFeatures() const;

    // Sets (value true) or clears every bit of mask. cfAlwaysForceClone alone may not be changed for a
    // property whose list takes part in derivation.
    bool setFlag(std::uint32_t mask, bool value, const CComponent* client);
    // The setFeature family: one field each.
    bool setUserData(void* userData, const CComponent* client);
    bool setDisplayName(const std::string& displayName, const CComponent* client);
    bool setDocString(const std::string& docString, const CComponent* client);
    bool setRepresentation(std::uint32_t representation, const CComponent* client);
    // Also warns (never fails) for every list on the client's owner chain that is less visible than value.
    bool setVisibility(std::uint32_t visibility, const CComponent* client);
    // Mutable feature sequences for the feature-selection operations, after the client check.
    std::vector<std::uint16_t>& selectedFeaturesFor(const CComponent* client);
    std::vector<std::uint16_t>& selectingFeaturesFor(const CComponent* client);

    // Throws unless client is the owner: EInvalidInputParameter "<where>: Invalid 'pClient' pointer
    // detected!" for a null client, ENoWriteRights naming the client otherwise.
    void checkClient(const CComponent* client, const char* where) const;

    // Called by the creating component's destructor: nobody may change the data afterwards, and a later
    // component at the same address must not inherit the right.
    void forgetOwner(const CComponent* dying);

    // Holder bookkeeping (SharedHolder only).
    void addRef() { ++refCount_; }
    bool release() { return --refCount_ == 0; }
    std::uint32_t refCount() const { return refCount_; }

protected:
    // Descriptive fields copied into a deep copy for another owner (counters, user data and feature
    // selections start afresh there).
    void copyDescriptionFrom(const CComponentSharedData& source);
    void countChange() { ++changeCount_; }

private:
    struct Extras {
        std::string displayName;
        std::string docString;
        std::vector<std::uint16_t> selectedFeatures;
        std::vector<std::uint16_t> selectingFeatures;
    };
    Extras& extras();

    std::uint32_t changeCount_ = 0;
    std::uint32_t refCount_ = 0;
    const std::uint32_t type_;
    std::uint32_t flags_;
    std::uint32_t representation_ = QX_REPR_UNDEFINED;
    std::uint32_t visibility_ = 0;
    const CComponent* owner_;
    void* userData_ = nullptr;
    std::unique_ptr<Extras> extras_; // null until a text or a feature is set
};

// The counted reference through which a component holds its shared data. Copying shares (count + 1);
// the last holder to go destroys the data. A default holder holds nothing, as a component does before its
// concrete class installs its data. Copyable on purpose: sharing is what it is for.
class SharedHolder {
public:
    SharedHolder() = default;
    explicit SharedHolder(std::unique_ptr<CComponentSharedData> data) : data_(data.release()) {
        if (data_) data_->addRef();
    }
    SharedHolder(const SharedHolder& other) : data_(other.data_) {
        if (data_) data_->addRef();
    }
    SharedHolder(SharedHolder&& other) noexcept : data_(other.data_) { other.data_ = nullptr; }
    SharedHolder& operator=(SharedHolder other) noexcept {
        std::swap(data_, other.data_);
        return *this;
    }
    ~SharedHolder() {
        if (data_ && data_->release()) delete data_;
    }

    CComponentSharedData* get() const { return data_; }
    CComponentSharedData* operator->() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }
    std::uint32_t useCount() const { return data_ ? data_->refCount() : 0; }

private:
    CComponentSharedData* data_ = nullptr;
};

} // namespace qx
