// property/CPropertySimpleData.h -- the property of the fixed-width value types (Int32, Double, Pointer,
// Int64): each value lives in its 8-byte slot, so copying a value is copying the slot and nothing is owned
// beyond the slot array CProperty holds.
#pragma once

#include "property/CProperty.h"

namespace qx {

class CPropertySimpleData final : public CProperty {
public:
    CPropertySimpleData(std::uint32_t valueType, std::string name, CComponent* owner, std::uint64_t count,
                        std::uint32_t flags, const std::string& formatString);
    CPropertySimpleData(const CPropertySimpleData& source, CComponent* newOwner, const std::string* newName,
                        CloneMode mode);

    std::unique_ptr<CComponent> clone(CComponent* newOwner, const std::string* newName,
                                      CloneMode mode) const override;
    void assignVals(const ::ValBuffer& buffer, std::uint64_t index) override;
    // New slots take the first dictionary value (0 without a dictionary).
    void initNewVals(qxValue* fresh, std::uint64_t newCount, std::uint64_t keptCount) override;
    void removeValAt(std::uint64_t index) override;
};

} // namespace qx
