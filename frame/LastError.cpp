// frame/LastError.cpp -- writing the per-thread last-error record (the record itself is in LastError.h).
#include "frame/LastError.h"

#include <algorithm>
#include <cstring>

namespace qx {

void recordLastError(int code, std::string_view prefix, std::string_view text) noexcept {
    LastErrorRecord& r = t_lastError;
    r.code = code;
    std::size_t used = 0;
    for (std::string_view piece : {prefix, text}) {
        const std::size_t n = std::min(piece.size(), kLastErrorTextSize - 1 - used);
        if (n != 0) std::memcpy(r.text + used, piece.data(), n);
        used += n;
    }
    r.text[used] = '\0';
}

void recordLastError(int code, std::string_view text) noexcept { recordLastError(code, {}, text); }

void resetLastError() noexcept { recordLastError(0, "No error"); }

} // namespace qx
