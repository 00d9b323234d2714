// log/LogMsgWriter.h -- the library's diagnostic logger as the rest of the library sees it: five entries,
// one per message class, each taking a printf-style format. Every warning and error of the library goes
// through here. The outputs (console, debug output, shared log files) arrive with the logger's own step;
// until then a message is formatted and handed to emit(), which writes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qx {

class LogMsgWriter {
public:
    // Message classes: bit (1 << class) of the flag word enables a class; 31 is always enabled.
    enum MessageClass : int { Information = 1, Warning = 2, Error = 3, Diagnostic = 5, LoggerError = 31 };

    LogMsgWriter(std::string moduleName, std::string debugFlagsFile);
    virtual ~LogMsgWriter();
    LogMsgWriter(const LogMsgWriter&) = delete;
    LogMsgWriter& operator=(const LogMsgWriter&) = delete;

    void writeInformation(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void writeWarning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void writeError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void writeDiagnostic(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void writeLoggerError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const std::string& moduleName() const { return moduleName_; }
    const std::string& debugFlagsFile() const { return debugFlagsFile_; }

protected:
    // Receives every formatted message of an enabled class. Tests override it to see what was logged.
    virtual void emit(int messageClass, const std::string& text);

private:
    void write(int messageClass, const char* format, __builtin_va_list args);

    std::string moduleName_;
    std::string debugFlagsFile_;
};

// The library's logger: null before the first initialisation and after the last teardown.
// Guarded like initialisation itself: set and cleared only by the library's init and done.
LogMsgWriter* libraryLogger();
// Installs a logger (or none) and returns the previous one, which the caller now owns.
std::unique_ptr<LogMsgWriter> exchangeLibraryLogger(std::unique_ptr<LogMsgWriter> logger);

} // namespace qx
