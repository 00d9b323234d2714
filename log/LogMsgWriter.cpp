// log/LogMsgWriter.cpp -- formatting of log messages and the library's one logger instance. The outputs
// and the debug-flags configuration are not built yet, so emit() receives every message and writes nothing.
#include "log/LogMsgWriter.h"

#include "frame/Eqx.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

namespace qx {

LogMsgWriter::LogMsgWriter(std::string moduleName, std::string debugFlagsFile)
    : moduleName_(std::move(moduleName)), debugFlagsFile_(std::move(debugFlagsFile)) {}

LogMsgWriter::~LogMsgWriter() = default;

void LogMsgWriter::emit(int, const std::string&) {}

bool LogMsgWriter::isEnabled(int) const noexcept { return true; }

void LogMsgWriter::writeV(int messageClass, const char* format, va_list args) {
    emit(messageClass, vformatText(format, args));
}

void LogMsgWriter::writeInformation(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeV(Information, format, args);
    va_end(args);
}
void LogMsgWriter::writeWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeV(Warning, format, args);
    va_end(args);
}
void LogMsgWriter::writeError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeV(Error, format, args);
    va_end(args);
}
void LogMsgWriter::writeDiagnostic(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeV(Diagnostic, format, args);
    va_end(args);
}
void LogMsgWriter::writeLoggerError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeV(LoggerError, format, args);
    va_end(args);
}

namespace {
// A raw pointer on purpose: it is constant-initialised and has no destructor, so the module's unload
// teardown can still use it whatever order the static destructors of the library's files run in.
constinit LogMsgWriter* g_logger = nullptr;
}

LogMsgWriter* libraryLogger() { return g_logger; }

std::unique_ptr<LogMsgWriter> exchangeLibraryLogger(std::unique_ptr<LogMsgWriter> logger) {
    std::unique_ptr<LogMsgWriter> previous(g_logger);
    g_logger = logger.release();
    setLogSink(g_logger);
    return previous;
}

} // namespace qx
