// frame/Log.cpp -- the one sink pointer and the five forwarding entries of frame/Log.h.
#include "frame/Log.h"

#include <mutex>
#include <set>

namespace qx {

namespace {
// A raw pointer on purpose: constant-initialised and without a destructor, so the module's unload
// teardown can still use it whatever order the static destructors of the library's files run in.
constinit LogSink* g_sink = nullptr;

void forward(int messageClass, const char* format, va_list args) {
    LogSink* sink = g_sink;
    if (sink != nullptr && sink->isEnabled(messageClass)) sink->writeV(messageClass, format, args);
}
} // namespace

LogSink* logSink() noexcept { return g_sink; }
void setLogSink(LogSink* sink) noexcept { g_sink = sink; }

void logInformation(const char* format, ...) {
    va_list args;
    va_start(args, format);
    forward(Information, format, args);
    va_end(args);
}
void logWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    forward(Warning, format, args);
    va_end(args);
}
void logError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    forward(Error, format, args);
    va_end(args);
}
void logDiagnostic(const char* format, ...) {
    va_list args;
    va_start(args, format);
    forward(Diagnostic, format, args);
    va_end(args);
}
void logLoggerError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    forward(LoggerError, format, args);
    va_end(args);
}

bool firstReportOf(const std::string& reason) {
    // Guarded by its own mutex: refusals are met on any thread, and rarely.
    static std::mutex guard;
    static std::set<std::string> reported;
    std::lock_guard lock(guard);
    return reported.insert(reason).second;
}

void logRefusalOnce(const char* operation, const std::string& reason) {
    if (!reason.empty() && firstReportOf(reason)) logError("%s: ERROR!!! %s.\n", operation, reason.c_str());
}

} // namespace qx
