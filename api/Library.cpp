// api/Library.cpp -- the exported functions of the library frame: lifecycle, last error, error
// names and the two locks. The lifecycle and lock functions take no component-access lock of their own
// (a caller may hold it across calls, and the global mutex must not wait behind it).
#include "frame/Boundary.h"
#include "frame/ErrorCodes.h"
#include "frame/LastError.h"
#include "frame/Library.h"
#include "frame/StringOutput.h"
#include "list/CPropListManager.h"
#include "platform/NamedObject.h"
#include "sync/CCriticalSection.h"
#include "sync/CMutex.h"

using namespace qx;

extern "C" {

QX_API int qxPropHandlingLibInit(void) { return static_cast<int>(libInit()); }

QX_API int qxPropHandlingLibDone(void) { return static_cast<int>(libDone()); }

QX_API const char* qxPropHandlingErrorCodeToString(int errorCode) { return errorCodeName(errorCode); }

QX_API int qxPropHandlingGetLastError(int* pErrorCode, char* pErrorText, size_t* pErrorTextSize) {
    return guarded<Record::Nothing>([&] {
        if (!pErrorCode || !pErrorTextSize)
            throw EInvalidInputParameter("Invalid pointers ('pErrorCode' and 'pErrorTextSize' must not be 0)");
        const LastErrorRecord& record = lastErrorRecord();
        *pErrorCode = record.code;
        writeStringOut(record.text, pErrorText, pErrorTextSize);
    });
}

QX_API int qxPropHandlingSetLastError(int errorCode, const char* pErrorText) {
    return guarded<Record::Nothing>([&] {
        if (pErrorText)
            recordLastError(errorCode, pErrorText);
        else
            lastErrorRecord().code = errorCode;
    });
}

// A global mutex that the platform refused answers "timeout" as the other platform would, but the caller's last
// error then says why, so a refused lock folder is not mistaken for another process holding the lock.
QX_API int qxGlobalLock(unsigned int timeout_ms) {
    CMutex* mutex = globalMutex();
    if (!mutex) return QX_WAIT_TIMEOUT;  // the library is torn down: no lock to wait for, nothing refused
    if (mutex->handle()) return static_cast<int>(mutex->waitFor(timeout_ms));
    const std::string reason = platform::syncNamespaceProblem();
    recordLastError(PROPHANDLING_UNSUPPORTED_OPERATION,
                    "qxGlobalLock: the global mutex does not exist: " +
                        (reason.empty() ? std::string("it could not be made at initialisation") : reason));
    return QX_WAIT_TIMEOUT;
}

QX_API int qxGlobalUnlock(void) {
    CMutex* mutex = globalMutex();
    return mutex && mutex->release() ? 1 : 0;
}

QX_API void qxLockCompAccess(void) { componentAccessLock().enter(); }

QX_API void qxUnlockCompAccess(void) { componentAccessLock().leave(); }

// Answers 1 or 0 and never touches the last error: a failure to make the manager reads as "no such list".
QX_API int qxIsPropListValid(HOBJ hList) {
    int valid = 0;
    const int result =
        guarded<Record::Nothing>([&] { valid = CPropListManager::instance().listAt(hList) != nullptr ? 1 : 0; });
    return result == PROPHANDLING_NO_ERROR ? valid : 0;
}

} // extern "C"
