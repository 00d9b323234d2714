// log/LogMsgWriter.cpp -- the logger: writing one message to its outputs, starting and switching file output
// (with clear and backup), the configuration summary, the directory resolution and the library's one logger
// instance. The line layouts are in LogFormat.cpp; the debug-flags file and log file list are read in
// LogConfig.cpp.
//
// A message is formatted before any lock is taken (into a buffer of the calling thread), so the output lock is
// held only for the timestamps and the writes. That keeps the lines of all threads and processes whole and in
// one order in every output, and keeps a slow caller's formatting out of everybody else's way.
#include "log/LogMsgWriter.h"

#include <cstdarg>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "log/CFilePtr.h"
#include "log/LogFolders.h"
#include "log/LogFormat.h"
#include "log/MessageFormat.h"
#include "log/OutputGuard.h"
#include "platform/Clock.h"
#include "platform/DebugOutput.h"
#include "platform/FileWatcher.h"
#include "platform/NamedObject.h"
#include "platform/SharedFile.h"
#include "platform/Thread.h"
#include "sync/CMutex.h"

namespace qx {

namespace {
constexpr const char* kOutputLockName = "qxStdOutWriteLock";

// Shared by every logger of the process (there may be more than one while a test swaps them in).
std::atomic<std::int64_t> g_lastConsoleTimestamp{0};

// A thread's message and line buffers, kept between messages so a message allocates nothing. The message buffer
// starts at 256 bytes and doubles until a message fits. A message written after the thread's buffers were
// destroyed (the library's teardown at process exit runs after the main thread's thread_local destructors)
// uses buffers of its own: the flag is trivially destructible and stays readable to the very end.
struct ThreadBuffers {
    std::string message;
    std::string line;
    ~ThreadBuffers();
};
thread_local bool t_buffersGone = false;
thread_local ThreadBuffers t_buffers;
ThreadBuffers::~ThreadBuffers() { t_buffersGone = true; }

std::int64_t sinceLast(std::atomic<std::int64_t>& last, std::int64_t now) {
    const std::int64_t previous = last.exchange(now, std::memory_order_relaxed);
    if (previous == 0) return 0;
    const std::int64_t delta = now - previous;
    return delta < 0 ? delta + logformat::kDayMs : delta;
}

std::int64_t millisecondsSinceMidnight(std::int64_t now100ns) {
    const std::int64_t ms = (now100ns % (logformat::kDayMs * 10000)) / 10000;
    return ms == 0 ? logformat::kDayMs : ms;  // 0 means "no previous message"
}
} // namespace

namespace {
// Holds a file mutex for one scope; a missing mutex (creation refused) guards nothing, and the output lock
// still keeps this process's threads apart.
class FileMutexGuard {
public:
    explicit FileMutexGuard(CMutex* mutex) : mutex_(mutex) {
        held_ = mutex_ && mutex_->waitFor(CSyncObj::kInfinite) != CSyncObj::kTimedOut;
    }
    ~FileMutexGuard() {
        if (held_) mutex_->release();
    }
    FileMutexGuard(const FileMutexGuard&) = delete;
    FileMutexGuard& operator=(const FileMutexGuard&) = delete;

private:
    CMutex* mutex_;
    bool held_;
};
} // namespace

LogMsgWriter::LogMsgWriter(std::string moduleName, std::string debugFlagsFile)
    : moduleName_(std::move(moduleName)), debugFlagsFile_(std::move(debugFlagsFile)) {
    processId_ = platform::currentProcessId();
    firstOnSystem_ = !namedMutexExists(kOutputLockName);
    outputLock_ = std::make_unique<CMutex>(false, kOutputLockName);
    biasMs_ = platform::localTimeBiasMs();
    if (!debugFlagsFile_.empty()) processDebugData(moduleName_, debugFlagsFile_);
    logCurrentConfiguration();
    if (!debugFlagsFile_.empty()) followedFolder_ = logDirectory();
    if (!followedFolder_.empty())
        watcher_ = platform::FileWatcher::start(followedFolder_, debugFlagsFile_, [this] { followDebugFlags(); });
    if (!outputLock_->handle()) {
        const std::string reason = platform::syncNamespaceProblem();
        if (!reason.empty() && firstReportOf(reason))
            writeError("%s: ERROR!!! The output lock shared with other processes could not be made; this process "
                       "logs without it: %s.\n",
                       "LogMsgWriter::LogMsgWriter", reason.c_str());
    }
}

LogMsgWriter::~LogMsgWriter() {
    watcher_.reset();
    writeLoggerError("%s: Process %d disconnected from logger %s.\n", "LogMsgWriter::~LogMsgWriter",
                     static_cast<int>(processId_), moduleName_.c_str());
    OutputGuard guard(*this);
    closeFile();
}

void LogMsgWriter::writeV(int messageClass, const char* format, va_list args) {
    if (!isEnabled(messageClass)) return;
    if (t_buffersGone) {
        std::string message;
        logformat::formatMessage(message, format, args);
        emit(messageClass, message);
        return;
    }
    std::string& message = t_buffers.message;
    logformat::formatMessage(message, format, args);
    emit(messageClass, message);
}

void LogMsgWriter::emit(int messageClass, const std::string& text) {
    if (outputMask() == 0) return;
    OutputGuard guard(*this);
    // Class and outputs read again under the lock, where a new configuration is applied as a whole: a message
    // that raced with a change follows either the old configuration or the new one, never half of each.
    const std::uint32_t mask = outputMask();
    if (mask == 0 || !isEnabled(messageClass)) return;
    std::string ownLine;
    std::string& line = t_buffersGone ? ownLine : t_buffers.line;

    logformat::LineFields fields;
    fields.procId = platform::currentProcessId();  // not processId_: a fork()ed child logs as itself
    fields.threadId = platform::currentThreadId();
    fields.messageClass = messageClass;
    char tsText[logformat::kTimeOfDayLength];
    std::int64_t stamp;
    const int timestampFormat = timestampFormat_.load(std::memory_order_relaxed);
    if (timestampFormat == logformat::RelativeMs) {
        stamp = platform::millisecondsSinceBoot();
        fields.ts = stamp;
    } else {
        const std::int64_t now = platform::systemTime100ns();
        stamp = millisecondsSinceMidnight(now);
        logformat::writeTimeOfDay(tsText, now, biasMs_);
        fields.tsText = std::string_view(tsText, sizeof tsText);
    }
    const std::int64_t consoleTd = sinceLast(g_lastConsoleTimestamp, stamp);

    if (mask & File) {
        fields.td = sinceLast(lastFileTimestamp_, stamp);
        // Whoever holds a file mutex took the session's output lock first (opening, closing and switching files
        // all run under it), so with that lock held the file mutex would keep nobody out; it is taken when this
        // process logs under its own stand-in lock.
        FileMutexGuard fileGuard(guard.named() ? nullptr : fileMutex_.get());
        if (file_) {
            line.clear();
            logformat::appendFileLine(line, fileFormat(), timestampFormat, fields, text);
            file_->write(line);
        }
    }
    if (mask & (DebugOutput | StandardOut)) {
        fields.td = consoleTd;
        line.clear();
        logformat::appendConsoleLine(line, timestampFormat, fields, text);
        if (mask & DebugOutput) platform::writeDebugOutput(line);
        if (mask & StandardOut) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
        }
    }
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

void LogMsgWriter::setConsoleOutputs(std::uint32_t bits) noexcept {
    const std::uint32_t keep = outputMask() & File;
    outputMask_.store(keep | (bits & (StandardOut | DebugOutput)), std::memory_order_relaxed);
}

std::string LogMsgWriter::currentFileName() {
    OutputGuard guard(*this);  // the watcher thread may be switching files
    return currentFileName_;
}

void LogMsgWriter::closeFile() {
    FileMutexGuard fileGuard(fileMutex_.get());
    file_.reset();
}

void LogMsgWriter::setOutputToFile(const char* name, const char* stylesheet, int fileFormat, bool clearFile,
                                   bool backup) {
    if (name == nullptr) {
        writeLoggerError("%s: ERROR!!! Invalid fileName(null).\n", "LogMsgWriter::setOutputToFile");
        return;
    }
    {
        OutputGuard guard(*this);
        openFile(name, stylesheet ? stylesheet : "", fileFormat, clearFile, backup);
        if (!file_) {
            outputMask_.fetch_and(~static_cast<std::uint32_t>(File), std::memory_order_relaxed);
        } else {
            outputMask_.fetch_or(File, std::memory_order_relaxed);
        }
    }
    if (!file_)
        writeLoggerError("%s: ERROR!!! Can't create file '%s'. Stopping file output\n", "LogMsgWriter::setOutputToFile",
                         name);
}

std::string LogMsgWriter::backupLogFile(bool backup) {
    if (!backup || currentFileName_.empty()) return {};
    if (!noOtherWriter(currentFileName_, currentFileName_)) return {};
    const std::string backupName = currentFileName_ + ".bak";
    if (platform::fileExists(backupName)) {
        if (const int error = platform::removeFile(backupName); error != 0)
            return "Failed to delete file '" + backupName + "'. errno: " + platform::errorText(error) + "(" +
                   std::to_string(error) + ").";
    }
    if (platform::fileExists(currentFileName_)) {
        if (const int error = platform::renameFile(currentFileName_, backupName); error != 0)
            return "Failed to rename file '" + currentFileName_ + "' to '" + backupName + "'. errno: " +
                   platform::errorText(error) + "(" + std::to_string(error) + ").";
    }
    return {};
}

std::string LogMsgWriter::dataDirectory() { return logfolders::dataDirectory(); }

std::string LogMsgWriter::logDirectory() { return logfolders::logDirectory(); }

void LogMsgWriter::logCurrentConfiguration() {
    writeInformation("%s: Process %d connected to logger %s.\n", "LogMsgWriter::logCurrentConfiguration",
                     static_cast<int>(processId_), moduleName_.c_str());
    logConfigurationSummary();
}

void LogMsgWriter::logConfigurationSummary() {
    const std::string outputs = logformat::outputsText(outputMask(), currentFileName());
    const std::string bits = logformat::flagWordText(flags());
    writeLoggerError("%s: output set to %s, bitmask set to %s.\n", "LogMsgWriter::logCurrentConfiguration",
                     outputs.c_str(), bits.c_str());
}

namespace {
// A "w" open that replaces an existing file's text with header + body; the body is what remains of the old
// text after every header this writer would write and every footer are cut out, so a reopened XML file keeps
// its messages and ends up with one header and (at close) one footer.
std::string withoutHeadersAndFooters(std::string text, const std::string& header) {
    const auto cut = [&](std::string_view what) {
        if (what.empty()) return;
        std::string out;
        out.reserve(text.size());
        std::size_t from = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, from)) {
            out.append(text, from, at - from);
            from = at + what.size();
        }
        out.append(text, from, std::string::npos);
        text.swap(out);
    };
    cut(header);
    cut(logformat::kFooter);
    return text;
}
} // namespace

// Under the output lock. The old file is closed first (its footer written if it was the last writer), since
// neither a backup rename nor a rewrite may happen while this process still holds it.
void LogMsgWriter::openFile(const std::string& name, const std::string& stylesheet, int format, bool clear,
                            bool backup) {
    using Mode = platform::SharedFile::Mode;
    closeFile();
    if (name != currentFileName_) {
        const std::string mutexName = logformat::objectNameOf(name);
        const bool existed = namedMutexExists(mutexName.c_str());
        fileMutex_ = std::make_unique<CMutex>(false, mutexName.c_str());
        if (existed) clear = false;
        currentFileName_ = name;
    }
    fileFormat_.store(format, std::memory_order_relaxed);
    std::string backupProblem;
    if (format == logformat::Xml || format == logformat::Text) {
        FileMutexGuard fileGuard(fileMutex_.get());
        const bool xml = format == logformat::Xml;
        if (!clear && noOtherWriter(name, name)) {
            auto reader = platform::SharedFile::open(name, Mode::Read);
            std::string text;
            if (!reader || !reader->readAll(text)) {
                file_ = std::make_unique<LogFilePtr>(name, Mode::Append, name, stylesheet, xml, std::string_view());
            } else {
                reader.reset();
                // Only an XML document is rewritten (its footer has to go). A text file has no header or footer
                // to take out, and appending to it leaves what others read, or a crash, nothing half-rewritten.
                if (xml) {
                    text = withoutHeadersAndFooters(std::move(text), logformat::xmlHeader(name, stylesheet));
                    file_ = std::make_unique<LogFilePtr>(name, Mode::Write, name, stylesheet, xml, text);
                } else {
                    file_ = std::make_unique<LogFilePtr>(name, Mode::Append, name, stylesheet, xml, std::string_view());
                }
                lastFileTimestamp_.store(logformat::lastTimestampIn(text, timestampFormat(), biasMs_),
                                         std::memory_order_relaxed);
            }
        } else {
            backupLogFile(backup);  // its error text is dropped: the old file is simply appended to
            file_ = std::make_unique<LogFilePtr>(name, clear ? Mode::Write : Mode::Append, name, stylesheet, xml,
                                                 std::string_view());
        }
    } else {
        const std::string directory = logDirectory();
        std::vector<std::string> names = readLogFileList(directory);
        const std::string full = logformat::buildLogFilePath(directory, name, format);
        if (full.ends_with(".qxlog") && std::find(names.begin(), names.end(), full) == names.end())
            names.push_back(full);
        writeLogFileList(directory, names, false);
        {
            FileMutexGuard fileGuard(fileMutex_.get());
            backupProblem = backupLogFile(backup);
            file_ = std::make_unique<CFilePtr>(name, clear ? Mode::Write : Mode::Append);
        }
        // Written only now, with the file mutex released: a message takes the output lock before a file mutex,
        // and taking them the other way round here could deadlock two processes.
        if (!backupProblem.empty()) writeLoggerError("%s\n", backupProblem.c_str());
    }
    if (file_ && !file_->isOpen()) file_.reset();
}

namespace {
// A raw pointer on purpose: it is constant-initialised and has no destructor, so the module's unload
// teardown can still use it whatever order the static destructors of the library's files run in.
constinit LogMsgWriter* g_logger = nullptr;
} // namespace

LogMsgWriter* libraryLogger() { return g_logger; }

std::unique_ptr<LogMsgWriter> exchangeLibraryLogger(std::unique_ptr<LogMsgWriter> logger) {
    std::unique_ptr<LogMsgWriter> previous(g_logger);
    g_logger = logger.release();
    setLogSink(g_logger);
    return previous;
}

} // namespace qx
