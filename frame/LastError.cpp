// frame/LastError.cpp -- owns the per-thread last-error records. The record is a constant-initialised
// thread_local with no destructor: nothing has to run when a thread ends or when the library is unloaded
// with dlclose, so no thread-exit callback can ever point into an unloaded module.
#include "frame/LastError.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {
constinit thread_local LastErrorRecord t_record{0, "No error"};
}

LastErrorRecord& lastErrorRecord() noexcept { return t_record; }

void recordLastError(int code, std::string_view prefix, std::string_view text) noexcept {
    LastErrorRecord& r = t_record;
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
