// log/LogMsgWriter.h -- the library's diagnostic logger: five entries, one per message class, each taking
// a printf-style format. The floors below reach it as the sink of frame/Log.h. The outputs (console, debug output, shared log files) arrive with the logger's own step;
// until then a message is formatted and handed to emit(), which writes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "frame/Log.h"

namespace qx {

class LogMsgWriter : public LogSink {
public:
    LogMsgWriter(std::string moduleName, std::string debugFlagsFile);
    ~LogMsgWriter() override;
    LogMsgWriter(const LogMsgWriter&) = delete;
    LogMsgWriter& operator=(const LogMsgWriter&) = delete;

    void writeInformation(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void writeWarning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void writeError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void writeDiagnostic(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void writeLoggerError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const std::string& moduleName() const { return moduleName_; }
    const std::string& debugFlagsFile() const { return debugFlagsFile_; }

    bool isEnabled(int messageClass) const noexcept override;
    void writeV(int messageClass, const char* format, va_list args) override;

protected:
    // Receives every formatted message of an enabled class. Tests override it to see what was logged.
    virtual void emit(int messageClass, const std::string& text);

private:
    std::string moduleName_;
    std::string debugFlagsFile_;
};

// The library's logger: null before the first initialisation and after the last teardown.
// Guarded like initialisation itself: set and cleared only by the library's init and done.
LogMsgWriter* libraryLogger();
// Installs a logger (or none) as the library's logger and log sink, and returns the previous one, which the
// caller now owns.
std::unique_ptr<LogMsgWriter> exchangeLibraryLogger(std::unique_ptr<LogMsgWriter> logger);

} // namespace qx
