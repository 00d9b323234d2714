// tests/property/PropertyTestSupport.h -- builders the property tests share: Int32/Double/... properties
// named "P", value buffers of each type, single slots, and the stored values read back as a vector.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "component/TestSupport.h"
#include "property/CProperty.h"
#include "property/CValBuffer.h"

namespace qx::test {

constexpr std::uint32_t rw = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS;

inline std::unique_ptr<CProperty> make(std::uint32_t type, std::uint64_t count = 1, std::uint32_t flags = rw,
                                       const char* format = "", CComponent* owner = nullptr) {
    return CProperty::create(type, "P", owner, count, flags, format);
}

// A buffer of type with the given values, each written into the slot member that type reads.
template <class T>
CValBuffer values(std::uint32_t type, std::initializer_list<T> list) {
    CValBuffer b(type, list.size());
    std::uint64_t i = 0;
    for (T v : list) {
        if constexpr (std::is_same_v<T, double>) b[i++].dbl = v;
        else if constexpr (std::is_same_v<T, std::int64_t>) b[i++].i64 = v;
        else b[i++].i32 = v;
    }
    return b;
}
inline CValBuffer ints(std::initializer_list<std::int32_t> list) { return values(QX_VT_INT32, list); }
inline CValBuffer int64s(std::initializer_list<std::int64_t> list) { return values(QX_VT_INT64, list); }
inline CValBuffer doubles(std::initializer_list<double> list) { return values(QX_VT_DOUBLE, list); }
inline CValBuffer texts(std::initializer_list<std::string> list) {
    CValBuffer b(QX_VT_STRING, list.size());
    std::uint64_t i = 0;
    for (const auto& v : list) b.setText(i++, v);
    return b;
}

// One slot holding v in the member of its type, the rest zero.
template <class T>
qxValue slotOf(T v) {
    qxValue s = zeroSlot();
    if constexpr (std::is_same_v<T, double>) s.dbl = v;
    else if constexpr (std::is_same_v<T, std::int64_t>) s.i64 = v;
    else s.i32 = v;
    return s;
}
inline qxValue slot(std::int32_t v) { return slotOf(v); }
inline qxValue slot(double v) { return slotOf(v); }
inline qxValue slot64(std::int64_t v) { return slotOf(v); }

template <class T>
std::vector<T> readAll(CProperty& p) {
    CValBuffer b(std::is_same_v<T, double> ? QX_VT_DOUBLE : QX_VT_INT32, p.valCount());
    p.getVal(b, 0);
    std::vector<T> out;
    for (std::uint64_t i = 0; i < b.count; ++i) {
        if constexpr (std::is_same_v<T, double>) out.push_back(b[i].dbl);
        else out.push_back(b[i].i32);
    }
    return out;
}
inline std::vector<std::int32_t> readInts(CProperty& p) { return readAll<std::int32_t>(p); }
inline std::vector<double> readDoubles(CProperty& p) { return readAll<double>(p); }

} // namespace qx::test
