// Helpers of the list, feature and component parameter tests: create lists and properties and read
// parameters through the C interface, failing the test (not crashing it) when a call is refused.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ApiTestSupport.h"
#include "qxPropHandling.h"

namespace qxtest {

inline HOBJ createList(const char* name, size_t size = 0, int flags = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS) {
    HOBJ h = 0;
    EXPECT_EQ(qxPropListCreate(&h, name, size, flags), 0) << name << ": " << lastError().text;
    return h;
}

inline HOBJ addProp(HOBJ list, const char* name, HOBJ at = QX_INDEX_APPEND, unsigned type = QX_CT_PROP_INT32,
                    unsigned flags = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS) {
    HOBJ h = at;
    EXPECT_EQ(qxPropListRegisterProp(list, name, type, 1, flags, nullptr, &h), 0) << name << ": " << lastError().text;
    return h;
}

inline HOBJ addList(HOBJ parent, HOBJ list, HOBJ at = QX_INDEX_APPEND) {
    HOBJ h = at;
    EXPECT_EQ(qxPropListRegisterList(parent, list, &h), 0) << lastError().text;
    return h;
}

// A list created and registered in parent; returns its entry handle in parent.
inline HOBJ addSubList(HOBJ parent, const char* name, size_t size = 0) { return addList(parent, createList(name, size)); }

// One Int32 value written at index (a special value for index < 0), with the force flag when asked;
// the call's code.
inline int setIntAt(HOBJ h, int32_t v, int index, int force) {
    qxValue slot{};
    slot.i32 = v;
    const ValBuffer buffer{QX_VT_INT32, 1, &slot};
    return qxPropSetVal(h, &buffer, index, QX_SETVAL_VALUES, nullptr, 0, force);
}
inline int setInt(HOBJ h, int32_t v, int force = 0) { return setIntAt(h, v, 0, force); }
// The Int32 value at index; the test fails when the read does.
inline int32_t getInt(HOBJ h, int index = 0) {
    qxValue slot{};
    ValBuffer buffer{QX_VT_INT32, 1, &slot};
    EXPECT_EQ(qxPropGetVal(h, &buffer, index), 0) << lastError().text;
    return slot.i32;
}

// One parameter read with no input; the test fails when the call does.
inline CallParam param(HOBJ h, int id, const CallParam* in = nullptr, size_t inCount = 0) {
    CallParam out{};
    EXPECT_EQ(qxCompGetParam(h, id, in, inCount, &out, 1), 0) << "parameter " << id << ": " << lastError().text;
    return out;
}
inline HOBJ handleParam(HOBJ h, int id) { return static_cast<HOBJ>(param(h, id).value.bits); }
inline uint32_t u32Param(HOBJ h, int id) { return static_cast<uint32_t>(param(h, id).value.bits); }
inline std::string textParam(HOBJ h, int id) {
    const CallParam out = param(h, id);
    return out.value.str != nullptr ? out.value.str : "<null>";
}

inline CallParam textIn(const char* text) {
    CallParam p{};
    p.type = QX_PT_STRING;
    p.value.str = const_cast<char*>(text);
    return p;
}
inline CallParam u32In(uint32_t v, uint32_t type = QX_PT_UINT32) {
    CallParam p{};
    p.type = type;
    p.value.bits = v;
    return p;
}

// Lookups that must succeed: by name in a list (0xFFFFFFFF when missing), or by a text parameter.
inline HOBJ find(HOBJ list, const char* name, int mode = 0, int depth = 0) {
    HOBJ found = 0;
    EXPECT_EQ(qxPropListFindComp(&found, list, name, mode, depth), 0) << name << ": " << lastError().text;
    return found;
}
inline HOBJ byText(HOBJ h, int id, const char* text) {
    const CallParam in = textIn(text);
    return static_cast<HOBJ>(param(h, id, &in, 1).value.bits);
}

// Code of a failing call, with the last-error text it left.
struct Refusal {
    int code;
    std::string text;
};
inline Refusal refusal(int code) { return {code, lastError().text}; }

// The text of a setting in the RAM store, read with the size protocol; "<missing: ...>" when there is none.
inline std::string ramText(const char* name) {
    size_t size = 0;
    if (qxReadSettingFromRAM(name, nullptr, &size) != 0) return "<missing: " + lastError().text + ">";
    std::string text(size, '\0');
    EXPECT_EQ(qxReadSettingFromRAM(name, text.data(), &size), 0);
    text.resize(size - 1);
    return text;
}

} // namespace qxtest
