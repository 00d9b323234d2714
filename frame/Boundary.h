// frame/Boundary.h -- the one place where exceptions become error codes and the caller's last error.
// Every exported function that reports a code runs its body through guarded(); no other catch of library
// failures exists above the XML reader's trampoline. Nothing thrown inside ever crosses the C interface.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string_view>

#include "frame/Deferred.h"
#include "frame/Eqx.h"
#include "frame/LastError.h"
#include "sync/CCriticalSection.h"

namespace qx {

// Foreign failures have no code of their own; they are reported under one assigned code with a text
// that says what happened (recorded in docs/behaviour.md).
inline constexpr int kForeignFailureCode = PROPHANDLING_LIST_CANT_ACCESS_DATA;

enum class Record { LastError, Nothing };

namespace detail {
// Returns the code of the exception being handled and its text as two pieces that point into the
// exception object or into constants, so reporting a failure allocates nothing (it may be an
// out-of-memory failure). Only valid inside the catch block that handles the exception.
int codeOfCurrentException(std::string_view& prefix, std::string_view& text) noexcept;
} // namespace detail

// Runs body under the component-access lock and returns 0, or the code of the first failure with its
// text stored as the thread's last error (unless the function is the last-error getter or setter).
// Caller code that body's changes raised runs after body, still inside the call, whether body succeeded
// or not: a change that was stored before a later step failed is a change all the same.
template <Record record = Record::LastError, class Body>
int guarded(Body&& body) noexcept {
    CompAccessLock lock;
    try {
        try {
            body();
        } catch (...) {
            runDeferredCalls();
            throw;
        }
        runDeferredCalls();
        return PROPHANDLING_NO_ERROR;
    } catch (...) {
        std::string_view prefix, text;
        const int code = detail::codeOfCurrentException(prefix, text);
        if constexpr (record == Record::LastError) recordLastError(code, prefix, text);
        return code;
    }
}

} // namespace qx
