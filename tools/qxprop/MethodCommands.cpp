// tools/qxprop/MethodCommands.cpp -- the method family of qxprop commands: register one of the shell's
// built-in functions as a method under a name with a signature, and call a method with its parameters
// written as text (the library splits and converts them by the signature). The built-ins are small on
// purpose: one prints what it receives, one sums numbers, one counts its parameters; their results come
// back through the library as a method's 32-bit result.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#include "Command.h"
#include "Tokenizer.h"
#include "qxPropHandling.h"

namespace qx::shell {

namespace {

// Where the built-ins print: the output of the session whose command is running. Built-ins run only
// inside a call the shell made, on the shell's thread.
std::ostream* g_builtinOut = &std::cout;

std::string hex(HOBJ h) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", h);
    return text;
}

std::string paramText(const CallParam& p) {
    char text[64];
    switch (p.type) {
    case QX_PT_INT32: std::snprintf(text, sizeof text, "int32 %" PRId32, p.value.i32); return text;
    case QX_PT_INT64: std::snprintf(text, sizeof text, "int64 %" PRId64, p.value.i64); return text;
    case QX_PT_DOUBLE: std::snprintf(text, sizeof text, "double %g", p.value.dbl); return text;
    case QX_PT_POINTER: std::snprintf(text, sizeof text, "pointer 0x%" PRIx64, p.value.bits); return text;
    case QX_PT_STRING: return std::string("string \"") + (p.value.str != nullptr ? p.value.str : "") + "\"";
    default: std::snprintf(text, sizeof text, "type %" PRIu32 " 0x%" PRIx64, p.type, p.value.bits); return text;
    }
}

int printParams(HOBJ hObj, HOBJ hOwnerList, CallParam*, size_t, CallParam* pValues, size_t count) {
    std::ostream& out = *g_builtinOut;
    out << "print " << hex(hObj) << " (owner list " << hex(hOwnerList) << "):";
    for (size_t k = 0; k < count; ++k) out << (k == 0 ? " " : " | ") << paramText(pValues[k]);
    out << '\n';
    return static_cast<int>(count);
}

int sumNumbers(HOBJ, HOBJ, CallParam*, size_t, CallParam* pValues, size_t count) {
    double sum = 0;
    for (size_t k = 0; k < count; ++k) {
        const CallParam& p = pValues[k];
        if (p.type == QX_PT_INT32) sum += p.value.i32;
        else if (p.type == QX_PT_INT64) sum += static_cast<double>(p.value.i64);
        else if (p.type == QX_PT_DOUBLE) sum += p.value.dbl;
    }
    return static_cast<int>(sum);
}

int countParams(HOBJ, HOBJ, CallParam*, size_t, CallParam*, size_t count) { return static_cast<int>(count); }

MethodFunction builtin(const std::string& word) {
    if (word == "print") return printParams;
    if (word == "sum") return sumNumbers;
    if (word == "count") return countParams;
    throw UsageError("built-in: print, sum or count");
}

bool method(Session& s, Args a) {
    HOBJ h = a.size() > 3 ? parseEntryIndex(a[3]) : HOBJ{QX_INDEX_APPEND};
    const MethodFunction f = builtin(a[2]);
    if (!s.check(qxPropListRegisterMethod(parseHandle(a[0]), a[1].c_str(), f, nullptr, 0,
                                          QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS, &h))) {
        return false;
    }
    s.out() << handleAndPath(h) << '\n';
    return true;
}

// The words after the handle, joined by ';' and passed with ';' as the delimiter: a quoted word with
// blanks stays one parameter.
bool call(Session& s, Args a) {
    const HOBJ h = parseHandle(a[0]);
    std::string text;
    for (std::size_t k = 1; k < a.size(); ++k) text += (k > 1 ? ";" : "") + a[k];
    int64_t result = 0;
    g_builtinOut = &s.out();
    const int rc = qxMethCallS(h, text.c_str(), ";", &result);
    g_builtinOut = &std::cout;
    if (!s.check(rc)) return false;
    s.out() << "result " << result << '\n';
    return true;
}

void install(CommandTable& t) {
    t.add({"method", "<list> <name@signature> <print|sum|count> [index|append|free]",
           "register a built-in function as a method (signature: result char, then i I f p s per parameter)", 3, 4,
           method});
    t.add({"call", "<method> [param...]", "call a method with its parameters as text; prints its result", 1, kAnyCount,
           call});
}

const FamilyRegistration registration("methods", &install);

} // namespace

} // namespace qx::shell
