// frame/ErrorCodes.h -- the names of the library's error codes, as qxPropHandlingErrorCodeToString gives them.
#pragma once

namespace qx {

// The constant name of an assigned code (both range markers included), else "UNKNOWN ERROR CODE".
const char* errorCodeName(int code) noexcept;

} // namespace qx
