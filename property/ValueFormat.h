// property/ValueFormat.h -- printf-style format strings applied to property values, made safe and
// locale-free. A format string comes from a caller or from a property's registration and is applied to
// arguments of a fixed kind: one value of the property's type, one dictionary name, or a name followed by
// a value (combination texts). A conversion that does not fit its argument is undefined behaviour in C, so
// every format is checked conversion by conversion before any of it is formatted; a misfit fails with
// EInvalidInputParameter and a text naming the format. The accepted forms are listed in docs/formats.md.
//
// Output always follows the "C" conventions (decimal point '.', no digit grouping) whatever the process
// locale is: floating-point conversions are produced by std::to_chars and padded here, and the grouping
// flag (') is accepted and ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "qxPropHandling.h"

namespace qx {

// What a format is applied to.
enum class FormatUse {
    Value,        // one value of the property's type
    Name,         // one dictionary name (a text)
    NameAndValue, // a dictionary name, then the entry's value
};

// Throws EInvalidInputParameter when format cannot be applied to the arguments of use for valueType.
void checkFormat(std::string_view format, std::uint32_t valueType, FormatUse use);

// Appends format applied to the arguments of use: name (Name, NameAndValue) and the slot read as valueType
// (Value, NameAndValue). Every conversion is checked before it is formatted, with the failures of
// checkFormat, so an unchecked format can never reach printf; out may hold a partial text after a throw.
// A null name reads as "".
void appendFormatted(std::string& out, std::string_view format, std::uint32_t valueType, FormatUse use,
                     const char* name, const qxValue& value);

// The value as printf would format it with "%f" in the "C" locale (messages, default texts).
std::string doubleText(double value);

} // namespace qx
