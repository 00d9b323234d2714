// frame/StringOutput.h -- hands a text to a caller's buffer: the needed size (length + 1) is always written
// through the size pointer, a null buffer is a size query, and a buffer that is too small is left untouched.
#pragma once

#include <cstddef>
#include <string_view>

namespace qx {

// Throws EInvalidInputParameter for a null size pointer and EInputBufferTooSmall when the offered size
// is short of the needed one (after storing the needed size).
void writeStringOut(std::string_view text, char* buffer, std::size_t* pSize);

} // namespace qx
