// property/ValueText.h -- one slot to text and texts to slots, for the fixed value types. The text of a
// slot uses the type's default format unless one is given; reading a text finds every number in it by
// character sets (a text may hold none or several) and converts each the way the type always has: "%i"
// rules for Int32 and Pointer, atof rules for Double, and the library's own base-10/base-16 reader for Int64.
// Both directions follow the "C" conventions whatever the process locale is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qxPropHandling.h"

namespace qx {

// The slot as text: with format (checked here, EInvalidInputParameter on a misfit) or, when format is null or
// empty, the type's default ("%d", "%f", "0x%p", "%s", "%lld"). An unknown type gives "".
std::string valueText(std::uint32_t valueType, const qxValue& slot, const char* format);

// Appends the values of every number in text to out (none for String and unknown types). hex: read
// Int64 digits in base 16 even without a "0x" prefix.
void parseValues(std::uint32_t valueType, std::string_view text, bool hex, std::vector<qxValue>& out);

} // namespace qx
