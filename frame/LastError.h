// frame/LastError.h -- the calling thread's last-error record: a code and an 8192-byte text, "No error"
// until the thread's first failing call. Each thread sees only its own record.
#pragma once

#include <cstddef>
#include <string_view>

namespace qx {

inline constexpr std::size_t kLastErrorTextSize = 8192;

struct LastErrorRecord {
    int code;
    char text[kLastErrorTextSize]; // always NUL-terminated
};

// The record lives here, inline, so reading it costs no call. Constant-initialised with no destructor:
// nothing has to run when a thread ends or when the library is unloaded with dlclose, so no thread-exit
// callback can ever point into an unloaded module.
inline constinit thread_local LastErrorRecord t_lastError{0, "No error"};

// The calling thread's record.
inline LastErrorRecord& lastErrorRecord() noexcept { return t_lastError; }

// Stores a code and a text (prefix followed by text), truncated to 8191 characters.
void recordLastError(int code, std::string_view text) noexcept;
void recordLastError(int code, std::string_view prefix, std::string_view text) noexcept;

// Back to code 0 and "No error".
void resetLastError() noexcept;

} // namespace qx
