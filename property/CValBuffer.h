// property/CValBuffer.h -- values inside the library. CValBuffer is the owning form of the caller's
// ::ValBuffer (value type, count, 8-byte slots): it derives from the C struct, so it can be handed to every
// operation that takes a ::ValBuffer, and it frees its slot array and the texts it was given. The C struct
// itself stays the caller's: operations that take a ::ValBuffer never free what it points to.
// Also here: the mapping between value types and component types, the per-type comparison of two slots,
// and the text helpers of string slots (which hold raw, owned char arrays because the slot is a C union).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "qxPropHandling.h"

namespace qx {

constexpr std::uint32_t componentTypeOfValueType(std::uint32_t valueType) { return QX_CT_PROPERTY + valueType; }
// Any type that is not a property maps to Int32.
constexpr std::uint32_t valueTypeOfComponentType(std::uint32_t type) {
    return (type & QX_CT_PROPERTY) != 0 ? type - std::uint32_t{QX_CT_PROPERTY} : std::uint32_t{QX_VT_INT32};
}

// A slot with all 8 bytes 0 (qxValue{} need not clear the bytes beyond its first member).
inline qxValue zeroSlot() {
    qxValue v;
    v.bits = 0;
    return v;
}

// Result of compareSlots for a type code it does not know.
constexpr int invalidTypeComparison = 0x7FFFFFFF;

// Compares a stored slot with a given one as valueType says: -1 when stored is smaller, 1 when larger,
// 0 when equal. Doubles: +0 equals -0, any NaN gives 1. Strings: unsigned bytes, a null text counts as "".
// An unknown type gives invalidTypeComparison.
int compareSlots(std::uint32_t valueType, const qxValue& stored, const qxValue& given);

// A heap copy of text (null reads as ""), owned by whoever stores it; release with freeText.
char* duplicateText(const char* text);
char* duplicateText(std::string_view text);
void freeText(char* text) noexcept;

class CValBuffer : public ::ValBuffer {
public:
    // count zeroed slots of valueType.
    CValBuffer(std::uint32_t valueType, std::uint64_t count);
    CValBuffer(CValBuffer&& other) noexcept;
    CValBuffer& operator=(CValBuffer&&) = delete;
    CValBuffer(const CValBuffer&) = delete;
    CValBuffer& operator=(const CValBuffer&) = delete;
    virtual ~CValBuffer();

    qxValue& operator[](std::uint64_t i) { return pSlots[i]; }
    const qxValue& operator[](std::uint64_t i) const { return pSlots[i]; }
    // Points slot i at a copy of text that this buffer owns and frees.
    void setText(std::uint64_t i, std::string_view text);

private:
    std::unique_ptr<qxValue[]> slots_;
    std::vector<std::unique_ptr<char[]>> texts_; // by slot; empty until the first setText
};

} // namespace qx
