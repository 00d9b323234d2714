// tools/qxprop/CallbackCommands.cpp -- the callback family of qxprop commands: `watch` attaches a
// component-changed callback that prints a line for each change of a component while the session runs,
// `guard` attaches a write callback that refuses values above a maximum (so the refusal the library reports
// can be seen), and `unwatch`/`unguard` take them off again. The callbacks print through the C interface
// from inside the library's call, as any caller's callback may.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "Command.h"
#include "Tokenizer.h"
#include "qxPropHandling.h"

namespace qx::shell {

namespace {

std::ostream* g_out = nullptr; // the running session's output; set by the first watch
std::map<HOBJ, HCALLBACK> g_watches;
std::map<HOBJ, HCALLBACK> g_guards;

// Prints "changed <handle> <path>" and, for a property, " = <values>".
void printChange(HOBJ h, uintptr_t) {
    if (g_out == nullptr) return;
    *g_out << "changed " << handleAndPath(h);
    size_t size = 0;
    if (qxPropGetValArrayAsStringEx(h, nullptr, ", ", nullptr, &size, 0, 0x7FFFFFFF, 0) == 0) {
        std::vector<char> text(size);
        if (qxPropGetValArrayAsStringEx(h, nullptr, ", ", text.data(), &size, 0, 0x7FFFFFFF, 0) == 0)
            *g_out << " = " << text.data();
    }
    *g_out << "\n";
}

// Refuses (answers 1) when any value is above the maximum in user-data element 0. Texts are read as numbers.
int refuseAboveMax(HOBJ, HOBJ, CallParam* pUserData, size_t userDataCount, CallParam* pValues, size_t valueCount) {
    if (userDataCount < 1) return 0;
    const double max = pUserData[0].value.dbl;
    for (size_t i = 0; i < valueCount; ++i) {
        double v = 0;
        switch (pValues[i].type) {
        case QX_PT_INT32: v = pValues[i].value.i32; break;
        case QX_PT_INT64: v = static_cast<double>(pValues[i].value.i64); break;
        case QX_PT_DOUBLE: v = pValues[i].value.dbl; break;
        case QX_PT_STRING: v = pValues[i].value.str ? std::strtod(pValues[i].value.str, nullptr) : 0; break;
        default: continue;
        }
        if (v > max) return 1;
    }
    return 0;
}

// Detaches and deletes the callback kept for h in table; false when there is none.
bool drop(Session& s, std::map<HOBJ, HCALLBACK>& table, HOBJ h) {
    const auto at = table.find(h);
    if (at == table.end()) return false;
    const HCALLBACK callback = at->second;
    table.erase(at);
    return s.check(qxCompDetachCallback(h, callback)) && s.check(qxCompDeleteCallback(callback));
}

bool watch(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    g_out = &s.out();
    if (g_watches.count(h) != 0) {
        s.out() << "already watching " << handleAndPath(h) << "\n";
        return true;
    }
    CallParam user{};
    user.type = QX_PT_HANDLE;
    user.value.bits = h;
    HCALLBACK callback = 0;
    if (!s.check(qxCompCreateFeatureChangedCallback(&printChange, &user, 1, &callback))) return false;
    if (!s.check(qxCompAttachCallback(h, callback))) {
        qxCompDeleteCallback(callback);
        return false;
    }
    g_watches[h] = callback;
    s.out() << "watching " << handleAndPath(h) << "\n";
    return true;
}

bool unwatch(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    if (g_watches.count(h) == 0) throw UsageError("not watching " + handleAndPath(h));
    return drop(s, g_watches, h);
}

bool guard(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    char* end = nullptr;
    const double max = std::strtod(a[1].c_str(), &end);
    if (end == a[1].c_str() || *end != '\0') throw UsageError("max: '" + a[1] + "' is not a number");
    drop(s, g_guards, h);
    CallParam user{};
    user.type = QX_PT_DOUBLE;
    user.value.dbl = max;
    HCALLBACK callback = 0;
    if (!s.check(qxCompCreateCallback(QX_CB_PROPERTY_WRITE, &refuseAboveMax, &user, 1, &callback))) return false;
    if (!s.check(qxCompAttachCallback(h, callback))) {
        qxCompDeleteCallback(callback);
        return false;
    }
    g_guards[h] = callback;
    s.out() << "guarding " << handleAndPath(h) << ": values above " << a[1]
            << " are refused\n";
    return true;
}

bool unguard(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    if (g_guards.count(h) == 0) throw UsageError("no guard on " + handleAndPath(h));
    return drop(s, g_guards, h);
}

void install(CommandTable& t) {
    t.add({"watch", "<component>", "print a line for each change of the component while the session runs", 1, 1, watch});
    t.add({"unwatch", "<component>", "stop watching the component", 1, 1, unwatch});
    t.add({"guard", "<prop> <max>", "refuse writes of values above max (a write callback)", 2, 2, guard});
    t.add({"unguard", "<prop>", "take the guard off the property", 1, 1, unguard});
    // Callbacks left at the end are deleted before the library goes; their functions live in this program.
    t.addExitHook([](Session& s) {
        for (auto* table : {&g_watches, &g_guards}) {
            while (!table->empty()) drop(s, *table, table->begin()->first);
        }
        g_out = nullptr;
    });
}

const FamilyRegistration registration("callbacks", &install);

} // namespace

} // namespace qx::shell
