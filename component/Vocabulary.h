// component/Vocabulary.h -- the words every subsystem uses about components: the kinds and value types packed
// into a component type, the flag bits and their two masks, the access-rights word handed down with writes,
// and the routines that turn types, flags, visibilities and representations into their fixed texts.
// The numbers themselves are the C header's (QX_CT_..., QX_CF_..., QX_VIS_..., QX_REPR_...); this file adds
// only what C callers never see.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "qxPropHandling.h"

namespace qx {

// Kind tests read single bits of the type, so a property of any value type is still a property.
constexpr bool isPropertyType(std::uint32_t type) { return (type & QX_CT_PROPERTY) != 0; }
constexpr bool isListType(std::uint32_t type) { return (type & QX_CT_LIST) != 0; }
constexpr bool isMethodType(std::uint32_t type) { return (type & QX_CT_METHOD) != 0; }

// The access word that interface calls pass down with writes: 3 with full rights, 1 otherwise.
constexpr std::uint32_t rightsGrowBeyondMax = 0x1; // may grow past the maximum value count
constexpr std::uint32_t rightsForce = 0x2;         // may write without cfWriteAccess, may resize a fixed size
constexpr std::uint32_t rightsOrdinary = rightsGrowBeyondMax;
constexpr std::uint32_t rightsFull = rightsGrowBeyondMax | rightsForce;

constexpr std::uint16_t noIndex = 0xFFFF; // index of a component that sits in no list

// Texts of the vocabularies. Unknown values get a fixed "Unknown ..." text rather than failing, because
// they are used in log lines and diagnostics about values that may be wrong.
std::string componentTypeText(std::uint32_t type);
// Names of the named bits of flags, highest bit first, joined by separator; "" when none is set.
std::string componentFlagsText(std::uint32_t flags, std::string_view separator);
std::string visibilityText(std::uint32_t visibility);
std::string representationText(std::uint32_t representation);

} // namespace qx
