// tools/qxprop/FrameCommands.cpp -- the frame family of qxprop commands: the library's version, error
// names, the last error, the reference count and the two locks. Every command is one or two calls of the
// C interface; what they print is the library's answer, not a copy of it kept here.
// The family remembers how often this shell took each lock, so that leaving with a lock still held is
// reported rather than silent. The shell releases nothing itself: what becomes of a held lock at exit is
// the library's teardown's business, and a script may want to show exactly that.
#include <cstdint>
#include <memory>
#include <string>

#include "Command.h"
#include "LastError.h"
#include "Tokenizer.h"
#include "platform/ModuleVersion.h"
#include "qxPropHandling.h"

namespace qx::shell {

namespace {

struct LockDepths {
    long global = 0;
    long access = 0;
};

// The address of an exported function lies in the library itself (the shell is position-independent, so
// the address is not that of a stub in the executable).
bool version(Session& s, Args) {
    const auto v = platform::moduleVersionAt(reinterpret_cast<const void*>(&qxPropHandlingLibInit));
    if (v[0] < 0) {
        s.out() << "error: the loaded qxPropHandling carries no version note\n";
        return false;
    }
    s.out() << "qxPropHandling " << v[0] << '.' << v[1] << '.' << v[2] << '.' << v[3] << '\n';
    return true;
}

bool errors(Session& s, Args) {
    s.out() << PROPHANDLING_NO_ERROR << ' ' << errorName(PROPHANDLING_NO_ERROR) << '\n';
    const std::string unknown = errorName(1); // the library's word for a code it has no name for
    for (int code = PROPHANDLING_NOT_A_LIST; code >= PROPHANDLING_LAST_VALID_ERROR_CODE; --code) {
        const std::string name = errorName(code);
        if (name != unknown) s.out() << code << ' ' << name << '\n';
    }
    return true;
}

bool error(Session& s, Args a) {
    const int code = parseInt32(a[0], "code");
    s.out() << code << ' ' << errorName(code) << '\n';
    return true;
}

bool lastError(Session& s, Args) {
    LastError last;
    if (!s.check(readLastError(last))) return false;
    s.out() << last.code << ' ' << errorName(last.code) << ": " << last.text << '\n';
    return true;
}

bool setLastError(Session& s, Args a) {
    const int code = parseInt32(a[0], "code");
    return s.check(qxPropHandlingSetLastError(code, a.size() > 1 ? a[1].c_str() : nullptr));
}

bool lock(const std::shared_ptr<LockDepths>& depths, Session& s, Args a) {
    if (a[0] == "access") {
        if (a.size() > 1) throw UsageError("lock access takes no timeout");
        qxLockCompAccess();
        ++depths->access;
        return true;
    }
    if (a[0] != "global") throw UsageError("lock what? global or access");
    const unsigned timeout = a.size() > 1 ? parseUInt32(a[1], "timeout_ms") : QX_INFINITE;
    switch (const int result = qxGlobalLock(timeout)) {
    case QX_WAIT_ACQUIRED:
        s.out() << "acquired\n";
        ++depths->global;
        return true;
    case QX_WAIT_ABANDONED:
        s.out() << "abandoned\n";
        ++depths->global;
        return true;
    case QX_WAIT_TIMEOUT: {
        LastError error;
        // A refused lock (not a busy one) leaves its reason as the last error; the shell leaves the last error
        // alone otherwise, since scripts read it with lasterror.
        if (readLastError(error) == 0 && error.code == PROPHANDLING_UNSUPPORTED_OPERATION &&
            error.text.starts_with("qxGlobalLock: "))
            s.out() << "refused: " << error.text << '\n';
        else s.out() << "timeout\n";
        return false;
    }
    default:
        s.out() << "error: qxGlobalLock returned " << result << '\n';
        return false;
    }
}

bool unlock(const std::shared_ptr<LockDepths>& depths, Session& s, Args a) {
    if (a[0] == "access") {
        qxUnlockCompAccess();
        if (depths->access > 0) --depths->access;
        return true;
    }
    if (a[0] != "global") throw UsageError("unlock what? global or access");
    if (qxGlobalUnlock() == 1) {
        s.out() << "released\n";
        if (depths->global > 0) --depths->global;
        return true;
    }
    s.out() << "not owner\n";
    return false;
}

bool valid(Session& s, Args a) {
    const int result = qxIsPropListValid(parseHandle(a[0]));
    if (result == 1 || result == 0) {
        s.out() << (result == 1 ? "valid\n" : "invalid\n");
        return true;
    }
    return s.check(result);
}

bool echo(Session& s, Args a) {
    for (std::size_t i = 0; i < a.size(); ++i) s.out() << (i ? " " : "") << a[i];
    s.out() << '\n';
    return true;
}

void install(CommandTable& t) {
    auto depths = std::make_shared<LockDepths>();
    t.add({"version", "", "print the version of the loaded qxPropHandling library", 0, 0, version});
    t.add({"errors", "", "list every error code the library names", 0, 0, errors});
    t.add({"error", "<code>", "print the library's name of one error code", 1, 1, error});
    t.add({"lasterror", "", "print code, name and text of this thread's last error", 0, 0, lastError});
    t.add({"setlasterror", "<code> [text]", "store a last error; without text the old text stays", 1, 2,
           setLastError});
    t.add({"init", "", "add a library reference; prints the new count", 0, 0, [](Session& s, Args) {
               s.out() << "refcount " << qxPropHandlingLibInit() << '\n';
               return true;
           }});
    t.add({"done", "", "drop a library reference; prints the new count", 0, 0, [](Session& s, Args) {
               s.out() << "refcount " << qxPropHandlingLibDone() << '\n';
               return true;
           }});
    t.add({"lock", "global [timeout_ms] | access",
           "take the global mutex (prints acquired, abandoned or timeout, which fails; waits forever by "
           "default) or the component-access lock",
           1, 2, [depths](Session& s, Args a) { return lock(depths, s, a); }});
    t.add({"unlock", "global | access", "release the global mutex (prints released or not owner) or the "
                                         "component-access lock",
           1, 1, [depths](Session& s, Args a) { return unlock(depths, s, a); }});
    t.add({"valid", "<handle>", "tell whether the list ID in a handle names a list", 1, 1, valid});
    t.add({"echo", "[text...]", "print the words, separated by one blank", 0, kAnyCount, echo});
    t.addExitHook([depths](Session& s) {
        if (depths->global > 0)
            s.out() << "note: leaving with the global lock held (" << depths->global << "x)\n";
        if (depths->access > 0)
            s.out() << "note: leaving with the component-access lock held (" << depths->access << "x)\n";
    });
}

const FamilyRegistration registration("frame", &install);

} // namespace

} // namespace qx::shell
