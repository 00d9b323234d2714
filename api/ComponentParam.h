// api/ComponentParam.h -- the component parameter rows behind qxCompGetParam, qxCompSetParam and
// qxCompRestoreDefault: navigation through lists (first/next/last component, parent, base, derived chain,
// origin, by name, by path), names, types, flags and their texts, counters, descriptive texts, visibility,
// representation, user data and user value. Rows that describe property values or method signatures are
// answered by their own steps later; until then they report PROPHANDLING_IMPLEMENTATION_MISSING with the
// text "<function> parameter <id> is not implemented yet".
//
// The designated component of a handle is its list as a whole for index 0xFFFF, else the component in that
// entry; "the handle's list" is always the list of the high half.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qxPropHandling.h"

namespace qx {

// Writes pOut[0] (and nothing on failure). pIn and pOut as the interface passes them.
void getComponentParam(HOBJ handle, int id, const CallParam* pIn, std::size_t inCount, CallParam* pOut,
                       std::size_t outCount);
void setComponentParam(HOBJ handle, int id, const CallParam* pIn, std::size_t inCount, std::uint32_t rights);
void restoreComponentDefault(HOBJ handle, std::uint32_t rights);

} // namespace qx
