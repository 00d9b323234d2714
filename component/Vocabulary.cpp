// component/Vocabulary.cpp -- the fixed texts of component types, flags, visibilities and representations.
// The texts appear in settings files and in callers' user interfaces, so they never change spelling.
#include "component/Vocabulary.h"

#include <array>
#include <utility>

namespace qx {

std::string componentTypeText(std::uint32_t type) {
    switch (type) {
    case QX_CT_PROPERTY: return "property";
    case QX_CT_PROP_INT32: return "32 bit integer property";
    case QX_CT_PROP_DOUBLE: return "64 bit floating point property";
    case QX_CT_PROP_POINTER: return "pointer property";
    case QX_CT_PROP_STRING: return "string property";
    case QX_CT_PROP_INT64: return "64 bit integer property";
    case QX_CT_LIST: return "list";
    case QX_CT_METHOD: return "method";
    default: return "unknown component type";
    }
}

std::string componentFlagsText(std::uint32_t flags, std::string_view separator) {
    // Highest bit first; 0x8 has no name and is never reported.
    static constexpr std::array<std::pair<std::uint32_t, const char*>, 13> names{{
        {QX_CF_ALWAYS_FORCE_UPDATE, "cfAlwaysForceUpdate"},
        {QX_CF_SHOULD_BE_DISPLAYED_AS_ENUMERATION, "cfShouldBeDisplayedAsEnumeration"},
        {QX_CF_CONTAINS_BINARY_DATA, "cfContainsBinaryData"},
        {QX_CF_NOT_IMPLEMENTED, "cfNotImplemented"},
        {QX_CF_NOT_AVAILABLE, "cfNotAvailable"},
        {QX_CF_ALWAYS_FORCE_CLONE, "cfAlwaysForceClone"},
        {QX_CF_DISALLOW_SERIALIZE, "cfDisallowSerialize"},
        {QX_CF_SHOULD_BE_DISPLAYED_AS_LIST, "cfShouldBeDisplayedAsList"},
        {QX_CF_ALLOW_VALUE_COMBINATIONS, "cfAllowValueCombinations"},
        {QX_CF_INVISIBLE, "cfInvisible"},
        {QX_CF_FIXED_SIZE, "cfFixedSize"},
        {QX_CF_WRITE_ACCESS, "cfWriteAccess"},
        {QX_CF_READ_ACCESS, "cfReadAccess"},
    }};
    std::string text;
    for (const auto& [bit, name] : names) {
        if ((flags & bit) == 0) continue;
        if (!text.empty()) text += separator;
        text += name;
    }
    return text;
}

std::string visibilityText(std::uint32_t visibility) {
    switch (visibility) {
    case QX_VIS_BEGINNER: return "Beginner";
    case QX_VIS_EXPERT: return "Expert";
    case QX_VIS_GURU: return "Guru";
    case QX_VIS_INVISIBLE: return "Invisible";
    default: return "Unknown visibility";
    }
}

std::string representationText(std::uint32_t representation) {
    static constexpr std::array<const char*, 10> names{"Undefined",   "Linear",     "Logarithmic", "Boolean",
                                                       "PureNumber",  "HexNumber",  "IPv4Address", "MACAddress",
                                                       "FileName",    "DirectoryName"};
    return representation < names.size() ? names[representation] : "Unknown representation";
}

} // namespace qx
