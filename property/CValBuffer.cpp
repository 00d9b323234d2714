// property/CValBuffer.cpp -- the owning value buffer, slot comparison and the text helpers of string slots.
#include "property/CValBuffer.h"

#include <cstring>
#include <utility>

namespace qx {

namespace {
template <class T>
int order(const T& stored, const T& given) {
    return stored < given ? -1 : (given < stored ? 1 : 0);
}
} // namespace

int compareSlots(std::uint32_t valueType, const qxValue& stored, const qxValue& given) {
    switch (valueType) {
    case QX_VT_INT32: return order(stored.i32, given.i32);
    case QX_VT_DOUBLE:
        if (stored.dbl == given.dbl) return 0;
        return stored.dbl < given.dbl ? -1 : 1; // NaN fails both tests and lands on 1
    case QX_VT_POINTER: return order(stored.bits, given.bits);
    case QX_VT_STRING: {
        const int r = std::strcmp(stored.str ? stored.str : "", given.str ? given.str : "");
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    case QX_VT_INT64: return order(stored.i64, given.i64);
    default: return invalidTypeComparison;
    }
}

char* duplicateText(std::string_view text) {
    char* copy = new char[text.size() + 1];
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

char* duplicateText(const char* text) { return duplicateText(std::string_view(text ? text : "")); }

void freeText(char* text) noexcept { delete[] text; }

CValBuffer::CValBuffer(std::uint32_t valueType, std::uint64_t count)
    : ::ValBuffer{valueType, count, nullptr}, slots_(count ? new qxValue[count]() : nullptr) {
    pSlots = slots_.get();
}

CValBuffer::CValBuffer(CValBuffer&& other) noexcept
    : ::ValBuffer{other.valType, other.count, other.pSlots},
      slots_(std::move(other.slots_)),
      texts_(std::move(other.texts_)) {
    other.count = 0;
    other.pSlots = nullptr;
}

CValBuffer::~CValBuffer() = default;

void CValBuffer::setText(std::uint64_t i, std::string_view text) {
    if (texts_.empty()) texts_.resize(count);
    texts_[i].reset(duplicateText(text));
    pSlots[i].str = texts_[i].get();
}

} // namespace qx
