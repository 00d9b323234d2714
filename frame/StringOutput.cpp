// frame/StringOutput.cpp -- the string output protocol shared by every function that returns text.
#include "frame/StringOutput.h"

#include <cstring>

#include "frame/Eqx.h"

namespace qx {

void writeStringOut(std::string_view text, char* buffer, std::size_t* pSize) {
    if (!pSize) throw EInvalidInputParameter("Invalid destination buffer size pointer");
    const std::size_t needed = text.size() + 1;
    const std::size_t offered = *pSize;
    *pSize = needed;
    if (!buffer) return;
    if (offered < needed) throw EInputBufferTooSmall::offered(offered, needed);
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
}

} // namespace qx
