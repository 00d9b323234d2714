// property/CProperty.cpp -- what every property does with its slots whatever its type: creation, reading,
// the store step, resizing, removing, comparing, counting and default values. Type-specific slot handling
// (texts, binary cache) is in CPropertySimpleData.cpp and CPropertyS.cpp.
#include "property/CProperty.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

#include "component/CCallback.h"
#include "frame/Log.h"
#include "property/CPropertyS.h"
#include "property/CPropertySimpleData.h"
#include "property/CValBuffer.h"
#include "property/ValueFormat.h"

namespace qx {

const char* defaultFormatString(std::uint32_t valueType) {
    switch (valueType) {
    case QX_VT_INT32: return "%d";
    case QX_VT_DOUBLE: return "%f";
    case QX_VT_POINTER: return "0x%p";
    case QX_VT_STRING: return "%s";
    case QX_VT_INT64: return "%lld";
    default: return "";
    }
}

std::unique_ptr<CProperty> CProperty::create(std::uint32_t valueType, std::string name, CComponent* owner,
                                             std::uint64_t count, std::uint32_t flags,
                                             const std::string& formatString) {
    if ((flags & QX_CF_ALLOW_VALUE_COMBINATIONS) != 0 && valueType != QX_VT_INT32 && valueType != QX_VT_INT64) {
        throw EInvalidValueType(name);
    }
    // The format is applied to values with printf semantics on every text read; a misfit is refused now,
    // once, rather than left to undefined behaviour later. Unknown types never apply theirs.
    if (!formatString.empty() && *defaultFormatString(valueType) != '\0') {
        checkFormat(formatString, valueType, FormatUse::Value);
    }
    if (valueType == QX_VT_STRING) {
        return std::make_unique<CPropertyS>(std::move(name), owner, count, flags, formatString);
    }
    return std::make_unique<CPropertySimpleData>(valueType, std::move(name), owner, count, flags, formatString);
}

CProperty::CProperty(std::uint32_t valueType, std::string name, CComponent* owner, std::uint64_t count,
                     std::uint32_t flags, const std::string& formatString)
    : CComponent(std::move(name), owner),
      formatString_(formatString.empty() ? defaultFormatString(valueType) : formatString),
      valCount_(count == 0 ? 1 : count),
      valueType_(valueType) {
    installSharedData(SharedHolder(
        std::make_unique<CPropertySharedData>(componentTypeOfValueType(valueType), flags, this)));
    slots_.reset(new qxValue[valCount_]());
    defaultValCount_ = static_cast<std::uint32_t>(valCount_);
    maxValCount_ = (flags & QX_CF_FIXED_SIZE) != 0 ? static_cast<std::uint32_t>(valCount_) : 0xFFFFFFFFu;
}

CProperty::CProperty(const CProperty& source, CComponent* newOwner, const std::string* newName, CloneMode mode)
    : CComponent(source, newOwner, newName),
      formatString_(source.formatString_),
      slots_(new qxValue[source.valCount_]()),
      valCount_(source.valCount_),
      valueType_(source.valueType_),
      defaultValCount_(static_cast<std::uint32_t>(source.valCount_)),
      maxValCount_(source.maxValCount_) {
    if (mode == CloneMode::ShareData) {
        installSharedData(source.sharedHolder());
    } else {
        installSharedData(SharedHolder(std::make_unique<CPropertySharedData>(source.propertySharedData(), this)));
    }
    copyCallerHooks(source);
}

CProperty::~CProperty() = default;

int CProperty::raiseChangeNotification(bool valueChanged, bool valueCounted, bool dependentsForced,
                                       bool forceNotify) {
    if (CComponent* list = owner(); list != nullptr && list->hasDependents()) list->memberValueChanged(*this, dependentsForced);
    return CComponent::raiseChangeNotification(valueChanged, valueCounted, dependentsForced, forceNotify);
}

bool CProperty::isDefault() {
    if ((flags() & QX_CF_ALWAYS_FORCE_CLONE) == 0) return CComponent::isDefault();
    if (!valid_) prepareRead(0, valCount_, false);
    if (valCount_ != defaultValCount_) return false;
    const qxValue* def = propertySharedData().limit(QX_LIM_DEFAULT);
    if (def == nullptr) return true;
    for (std::uint64_t i = 0; i < valCount_; ++i) {
        if (compareSlots(valueType_, slots_[i], *def) != 0) return false;
    }
    return true;
}

void CProperty::invalidate() {
    valid_ = false;
    CComponent::invalidate();
}

void CProperty::freeValsFrom(std::uint64_t) {}

void CProperty::prepareRead(std::uint64_t index, std::uint64_t count, bool onlyIfInvalid) {
    if (onlyIfInvalid && valid_) return;
    CCallback* callback = this->callback(QX_CB_PROPERTY_READ);
    if (callback == nullptr) return;
    std::vector<CallParam> values(count);
    const std::uint32_t type = paramTypeOf(valueType_);
    for (std::uint64_t k = 0; k < count && index + k < valCount_; ++k) {
        values[k].type = type;
        values[k].value = slots_[index + k];
    }
    const TreeWatch watch;
    const int result = callback->execute(handle(), values.data(), values.size());
    watch.check();
    if (result != 0) throw EPropertyHandling("Internal error", result);
    valid_ = true;
}

bool CProperty::configureCallback(std::uint32_t kind, CCallback* callback) {
    if (kind == QX_CB_PROPERTY_READ || kind == QX_CB_PROPERTY_WRITE) return setCallbackSlot(kind, callback);
    return CComponent::configureCallback(kind, callback);
}

void CProperty::registerCallback(CComponent* method, std::uint32_t kind) {
    if (kind != QX_CB_PROPERTY_WRITE) {
        CComponent::registerCallback(method, kind);
        return;
    }
    // Nobody is told: the notification carries neither a value change nor a forced notify.
    if (setRegisteredMethod(&CallerHooks::validationMethod, method)) raiseChangeNotification(false, false, false, false);
    if (method == nullptr && callerHooks() != nullptr) releaseEmptyHooks();
}

void CProperty::dropBinary(std::uint64_t, std::uint64_t) {}

int CProperty::setValsFromOtherType(std::uint32_t, const ::ValBuffer&, std::uint64_t) {
    throw EInvalidValueType(name());
}
bool CProperty::validateValsFromOtherType(const ::ValBuffer&) { throw EInvalidValueType(name()); }

std::uint64_t CProperty::binarySize(std::uint64_t) { throw EInvalidValueType(name()); }
std::uint64_t CProperty::binarySizeMax() { throw EInvalidValueType(name()); }
std::uint64_t CProperty::getBinary(void*, std::uint64_t, std::uint64_t) { throw EInvalidValueType(name()); }
void CProperty::setBinarySizeMax(std::uint64_t, std::uint32_t) { throw EUnsupportedOperation(name()); }
int CProperty::setBinary(std::uint32_t, const ::ValBuffer&, const CallParam*, std::size_t, int) {
    throw EInvalidValueType(name());
}

void CProperty::throwOutOfBounds(std::int64_t index, std::uint64_t count) const {
    if (count <= 1) throw EValIDOutOfBounds(static_cast<int>(index), name());
    throw EValIDOutOfBounds(static_cast<int>(index), static_cast<int>(index + static_cast<std::int64_t>(count) - 1),
                            name());
}

void CProperty::getVal(::ValBuffer& buffer, int index) {
    if (buffer.valType != valueType_) {
        const bool wideReadsNarrow = buffer.valType == QX_VT_INT64 && valueType_ == QX_VT_INT32;
        const bool narrowReadsWide = buffer.valType == QX_VT_INT32 && valueType_ == QX_VT_INT64;
        if (!wideReadsNarrow && !narrowReadsWide) throw EInvalidValueType(name());
        if (narrowReadsWide) {
            logWarning("%s: Reading %s(64 bit integer) into a 32 bit storage location. This should be "
                       "avoided as it might result in a loss of data.\n",
                       "qx::CProperty::getVal", name().c_str());
        }
    }
    if (buffer.count > 0 && buffer.pSlots == nullptr) throw EInvalidInputParameter();
    if (index >= 0) {
        const auto first = static_cast<std::uint64_t>(index);
        if (buffer.count > valCount_ || first > valCount_ - buffer.count) throwOutOfBounds(index, buffer.count);
        prepareRead(first, buffer.count, false);
        // A read callback may have shortened the property.
        if (first + buffer.count > valCount_) throwOutOfBounds(index, buffer.count);
        if (buffer.count == 1)
            buffer.pSlots[0] = slots_[first]; // the common single read, without a call to memmove
        else
            std::copy_n(slots_.get() + first, buffer.count, buffer.pSlots);
        return;
    }
    const qxValue* special = propertySharedData().limit(index);
    if (special == nullptr) throwOutOfBounds(index, buffer.count);
    if (buffer.count == 0) throw EInvalidInputParameter();
    buffer.pSlots[0] = *special;
}

int CProperty::storeVals(std::uint32_t rights, const ::ValBuffer& buffer, std::uint64_t index) {
    if (buffer.valType != valueType_) throw EInvalidValueType(name());
    if (buffer.count == 0) return 0;
    if (buffer.pSlots == nullptr) throw EInvalidInputParameter();
    if (valid_ && (flags() & QX_CF_ALWAYS_FORCE_UPDATE) == 0 && valCmp(buffer, index) == 0) return 0;
    // Growing first: it is the one step that can refuse, and nothing may have changed when it does.
    if (buffer.count > valCount_ || index > valCount_ - buffer.count) setValCount(index + buffer.count, rights);
    dropBinary(index, buffer.count);
    assignVals(buffer, index);
    valid_ = true;
    raiseChangeNotification(true, false, false, false);
    return 1;
}

void CProperty::checkResize(std::uint64_t newCount, std::uint32_t rights) const {
    if ((flags() & QX_CF_FIXED_SIZE) != 0 && owner() != nullptr && (rights & rightsForce) == 0) {
        throw ENoModifySizeRights(name());
    }
    if (newCount > maxValCount_ && (rights & rightsGrowBeyondMax) == 0) throw ENoModifySizeRights(name());
}

void CProperty::resizeStorage(std::uint64_t newCount) {
    const std::uint64_t kept = std::min(valCount_, newCount);
    std::unique_ptr<qxValue[]> fresh(new qxValue[newCount]());
    initNewVals(fresh.get(), newCount, kept);
    freeValsFrom(newCount);
    std::copy_n(slots_.get(), kept, fresh.get());
    slots_ = std::move(fresh);
    valCount_ = newCount;
}

void CProperty::setValCount(std::uint64_t count, std::uint32_t rights) {
    const std::uint64_t newCount = count == 0 ? 1 : count;
    if (newCount == valCount_) return;
    checkResize(newCount, rights);
    resizeStorage(newCount);
    raiseChangeNotification(true, false, false, false);
}

void CProperty::setMaxValCount(std::uint32_t maxCount, std::uint32_t rights) {
    if (maxCount == maxValCount_) return;
    const bool shrink = maxCount < valCount_;
    // Only the fixed-size rule can refuse the shrink; it is checked before the new maximum is kept.
    if (shrink && (flags() & QX_CF_FIXED_SIZE) != 0 && owner() != nullptr && (rights & rightsForce) == 0) {
        throw ENoModifySizeRights(name());
    }
    maxValCount_ = maxCount;
    if (shrink) {
        setValCount(maxCount, rights);
    } else {
        raiseChangeNotification(true, false, false, false);
    }
}

void CProperty::setDefaultValCount(std::uint32_t defaultCount) {
    if (defaultCount == defaultValCount_) return;
    if (defaultCount > maxValCount_) throw EInvalidInputParameter();
    defaultValCount_ = defaultCount;
    raiseChangeNotification(true, false, false, false);
}

void CProperty::removeVal(int index, std::uint32_t rights) {
    if (index < 0) {
        if (propertySharedData().removeLimit(index, this)) raiseChangeNotification(true, false, true, false);
        return;
    }
    if ((flags() & QX_CF_FIXED_SIZE) != 0 && owner() != nullptr && (rights & rightsForce) == 0) {
        throw ENoModifySizeRights(name());
    }
    const auto at = static_cast<std::uint64_t>(index);
    if (at != valCount_ - 1) {
        if (at >= valCount_) throw EValIDOutOfBounds(index, name());
        removeValAt(at);
    }
    setValCount(valCount_ - 1, rights);
    raiseChangeNotification(true, false, false, false);
}

int CProperty::valCmp(const ::ValBuffer& buffer, std::uint64_t index) {
    if (buffer.pSlots == slots_.get()) return 0;
    if (buffer.valType != valueType_ || buffer.count > valCount_ || index > valCount_ - buffer.count) return -1;
    for (std::uint64_t i = 0; i < buffer.count; ++i) {
        const int r = compareSlots(valueType_, slots_[index + i], buffer.pSlots[i]);
        if (r == invalidTypeComparison) {
            logError("%s(%s): ERROR!!! Invalid data type: %d!\n", "qx::CProperty::valCmp", name().c_str(),
                     static_cast<int>(valueType_));
        }
        if (r != 0) return r;
    }
    return 0;
}

std::uint64_t CProperty::valCnt(int query) const {
    if (query == 0) return valCount_;
    if (query == 1) return propertySharedData().dictionarySize();
    logError("%s: ERROR!!! Unrecognized query: %d.\n", "qx::CProperty::valCnt", query);
    return 0;
}

void CProperty::restoreDefault(std::uint32_t rights) {
    if ((flags() & QX_CF_ALWAYS_FORCE_CLONE) == 0) throw EUnsupportedOperation(name());
    setValCount(defaultValCount_, rights);
    const qxValue* def = propertySharedData().limit(QX_LIM_DEFAULT);
    // Texts are owned per slot and are never defaults; only fixed-width values are written directly.
    if (def == nullptr || valueType_ == QX_VT_STRING || isDefault()) return;
    qxValue value = *def;
    if (valueType_ == QX_VT_DOUBLE) {
        const qxValue* min = propertySharedData().limit(QX_LIM_MINIMUM);
        const qxValue* max = propertySharedData().limit(QX_LIM_MAXIMUM);
        // An absent minimum is the smallest positive normal double, not -DBL_MAX: a negative default
        // without a minimum is raised to it.
        const double low = min ? min->dbl : DBL_MIN;
        const double high = max ? max->dbl : DBL_MAX;
        if (value.dbl < low) value.dbl = low;
        if (value.dbl > high) value.dbl = high;
    }
    std::fill_n(slots_.get(), valCount_, value);
    raiseChangeNotification(true, false, false, false);
}

} // namespace qx
