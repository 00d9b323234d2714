// frame/Log.h -- how every floor of the library writes its warnings and errors without knowing the logger:
// five entries, one per message class, forwarding to the one installed sink. The logger (log/) installs
// itself as the sink; before the first initialisation and after the last teardown there is none and a
// message goes nowhere. The class check comes before any formatting, so a disabled class costs a load
// and a test.
#pragma once

#include <cstdarg>

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

} // namespace qx
