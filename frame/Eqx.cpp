// frame/Eqx.cpp -- the exception messages that need formatting, and formatText/vformatText, the
// printf-to-string helpers of the library. Messages are built where the exception is made, so that the
// boundary only copies.
#include "frame/Eqx.h"

#include <cstdarg>
#include <cstdio>

namespace qx {

std::string vformatText(const char* format, std::va_list args) {
    char small[256];
    std::va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    std::string out;
    if (needed >= 0 && static_cast<std::size_t>(needed) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(needed));
    } else if (needed >= 0) {
        out.resize(static_cast<std::size_t>(needed));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

std::string formatText(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string out = vformatText(format, args);
    va_end(args);
    return out;
}

EValIDOutOfBounds::EValIDOutOfBounds(int index, const std::string& name)
    : EProperty(formatText("Val index %d is out of bounds for '%s'", index, name.c_str()),
                PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS) {}

EValIDOutOfBounds::EValIDOutOfBounds(int first, int last, const std::string& name)
    : EProperty(formatText("Val ID range (%d - %d) out of bounds for '%s'", first, last, name.c_str()),
                PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS) {}

EInputBufferTooSmall EInputBufferTooSmall::offered(std::size_t offered, std::size_t needed) {
    return EInputBufferTooSmall(formatText("Buffer too small. Got %zu while %zu where needed", offered, needed));
}

} // namespace qx
