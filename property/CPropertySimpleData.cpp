// property/CPropertySimpleData.cpp -- slot handling of fixed-width properties: plain 8-byte copies.
#include "property/CPropertySimpleData.h"

#include <algorithm>

#include "property/CValBuffer.h"

namespace qx {

CPropertySimpleData::CPropertySimpleData(std::uint32_t valueType, std::string name, CComponent* owner,
                                         std::uint64_t count, std::uint32_t flags, const std::string& formatString)
    : CProperty(valueType, std::move(name), owner, count, flags, formatString) {}

CPropertySimpleData::CPropertySimpleData(const CPropertySimpleData& source, CComponent* newOwner,
                                         const std::string* newName, CloneMode mode)
    : CProperty(source, newOwner, newName, mode) {
    std::copy_n(source.slots(), source.valCount(), mutableSlots());
}

std::unique_ptr<CComponent> CPropertySimpleData::clone(CComponent* newOwner, const std::string* newName,
                                                       CloneMode mode) const {
    return std::make_unique<CPropertySimpleData>(*this, newOwner, newName, mode);
}

void CPropertySimpleData::assignVals(const ::ValBuffer& buffer, std::uint64_t index) {
    std::copy_n(buffer.pSlots, buffer.count, mutableSlots() + index);
}

void CPropertySimpleData::initNewVals(qxValue* fresh, std::uint64_t newCount, std::uint64_t) {
    const auto& dictionary = propertySharedData().dictionary();
    const qxValue first = dictionary.empty() ? zeroSlot() : dictionary.front().value;
    std::fill_n(fresh, newCount, first);
}

void CPropertySimpleData::removeValAt(std::uint64_t index) {
    qxValue* slots = mutableSlots();
    std::copy(slots + index + 1, slots + valCount(), slots + index);
    slots[valCount() - 1] = zeroSlot();
}

} // namespace qx
