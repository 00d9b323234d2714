// frame/Log.h -- how every floor of the library writes its warnings and errors without knowing the logger:
// five entries, one per message class, forwarding to the one installed sink. The logger (log/) installs
// itself as the sink; before the first initialisation and after the last teardown there is none and a
// message goes nowhere. The class check comes before any formatting, so a disabled class costs a load
// and a test.
#pragma once

#include <cstdarg>
#include <string>

namespace qx {

// Message classes: bit (1 << class) of a flag word enables a class; 31 is always enabled.
enum MessageClass : int { Information = 1, Warning = 2, Error = 3, Diagnostic = 5, LoggerError = 31 };

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual bool isEnabled(int messageClass) const noexcept = 0;
    virtual void writeV(int messageClass, const char* format, va_list args) = 0;
};

// The installed sink, or null. Guarded like initialisation: set only by the library's init and done.
LogSink* logSink() noexcept;
void setLogSink(LogSink* sink) noexcept;

void logInformation(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logLoggerError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// True the first time this process asks about reason, false afterwards: a platform resource that is refused
// (the lock folder, the log folder) is explained once, not on every call that runs into it.
bool firstReportOf(const std::string& reason);
// A class-3 message "<operation>: ERROR!!! <reason>.\n", once per process and reason.
void logRefusalOnce(const char* operation, const std::string& reason);

} // namespace qx
