// log/LogMsgWriter.h -- the library's diagnostic logger: five entries, one per message class, each taking a
// printf-style format. The floors below reach it as the sink of frame/Log.h. A flag word selects the classes
// written, an output mask where they go (standard output, the system debug output, a log file in the XML,
// text or qxlog format); both come from the debug-flags file in the log directory. Several processes may share
// one log file: the session-wide output lock keeps whole messages apart, a mutex named after the file guards
// opening and closing it (and each write of a process without the output lock), and a semaphore counts its writers so the first writes the XML header and the last
// the footer.
//
// A logger made with a debug-flags file follows it while it runs: a watcher thread re-reads the file whenever it
// is replaced, written or removed, and the new classes and outputs apply from the next message on.
//
// Lock order: the output lock, then a file mutex. Nothing that takes the output lock runs under a file mutex.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/Log.h"

namespace qx {

class CMutex;
class CFilePtr;
struct DebugConfig;
namespace platform {
class FileWatcher;
}

class LogMsgWriter : public LogSink {
public:
    static constexpr std::uint32_t kAlwaysOn = 0x80000000u;
    enum OutputBit : std::uint32_t { StandardOut = 1, DebugOutput = 2, File = 4 };

    // Reads debugFlagsFile from the log directory and applies it; an empty name keeps the initial settings
    // (class 31 only, to the system debug output) without looking for a file.
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

    // One load and a test: callers ask before formatting anything.
    bool isEnabled(int messageClass) const noexcept override {
        return ((flags_.load(std::memory_order_relaxed) >> (messageClass & 31)) & 1u) != 0;
    }
    void writeV(int messageClass, const char* format, va_list args) override;

    // Starts or switches file output. name null: a class-31 error and nothing else.
    void setOutputToFile(const char* name, const char* stylesheet, int fileFormat, bool clearFile, bool backup);
    void processDebugData(const std::string& moduleName, const std::string& debugFlagsFile);
    // Reads the debug-flags file again and applies it to the running logger: classes, outputs and timestamps
    // at once; an open log file of the same name and format is kept as it is (never cleared again), another
    // name or format switches files as at start, file output turned off closes the file. A missing file
    // changes nothing. Ends with the class-31 configuration line. The watcher calls it; so may anyone.
    void followDebugFlags();
    void logCurrentConfiguration();
    // Renames the current file to name.bak (replacing an older one) unless backup is false or another writer
    // holds the file. Returns the error text, empty when all went well.
    std::string backupLogFile(bool backup);

    // The names of files.qxloglist in directory (empty when there is none); XML errors are logged.
    std::vector<std::string> readLogFileList(const std::string& directory);
    // Rewrites files.qxloglist in directory from names (base names, sorted, each once; with checkExistence only
    // those present in directory). Under the output lock; a list that cannot be written is left alone.
    void writeLogFileList(const std::string& directory, const std::vector<std::string>& names, bool checkExistence);

    // QXTELVAR_DATA_DIR when set and not empty, else the user's data folder + "/Orsolan/Telvar"; empty when
    // neither is known.
    static std::string dataDirectory();
    // dataDirectory() + "/Logs", or empty.
    static std::string logDirectory();

    std::uint32_t flags() const noexcept { return flags_.load(std::memory_order_relaxed); }
    // Bit 31 stays set whatever is given.
    void setFlags(std::uint32_t flags) noexcept { flags_.store(flags | kAlwaysOn, std::memory_order_relaxed); }
    std::uint32_t outputMask() const noexcept { return outputMask_.load(std::memory_order_relaxed); }
    // Only the standard-out and debug-output bits; the file bit follows setOutputToFile.
    void setConsoleOutputs(std::uint32_t bits) noexcept;
    int fileFormat() const noexcept { return fileFormat_.load(std::memory_order_relaxed); }
    int timestampFormat() const noexcept { return timestampFormat_.load(std::memory_order_relaxed); }
    void setTimestampFormat(int format) noexcept { timestampFormat_.store(format == 0 ? 0 : 1, std::memory_order_relaxed); }
    std::string currentFileName();
    bool firstOnSystem() const noexcept { return firstOnSystem_; }
    std::int64_t timeZoneBiasMs() const noexcept { return biasMs_; }

protected:
    // Writes one formatted message of an enabled class to the outputs. Tests override it to see what was logged;
    // such a logger gets no debug-flags file name, so no watcher thread calls it while it is being destroyed.
    virtual void emit(int messageClass, const std::string& text);

private:
    class OutputGuard;
    void openFile(const std::string& name, const std::string& stylesheet, int format, bool clear, bool backup);
    void closeFile();
    // The configuration in the debug-flags file of directory, after its problems were reported; false (after
    // the class-2 warning) when there is no file to read.
    bool readDebugFlags(const std::string& moduleName, const std::string& directory,
                        const std::string& debugFlagsFile, DebugConfig& config);
    // The log file a configuration names (its path in directory, or the default name); empty, after a
    // class-31 message, when the name is refused.
    std::string outputFileOf(const DebugConfig& config, const std::string& directory);
    void logConfigurationSummary();

    std::atomic<std::uint32_t> flags_{kAlwaysOn};
    std::atomic<std::uint32_t> outputMask_{DebugOutput};
    std::atomic<int> fileFormat_{0};
    std::atomic<int> timestampFormat_{1};
    std::atomic<std::int64_t> lastFileTimestamp_{0};
    std::int64_t biasMs_ = 0;

    // Shared state. fileMutex_, file_ and currentFileName_ change only under the output lock.
    std::unique_ptr<CMutex> fileMutex_;
    std::unique_ptr<CMutex> outputLock_;
    std::recursive_mutex localLock_;  // stands in for the output lock when that could not be made
    std::unique_ptr<CFilePtr> file_;
    std::string currentFileName_;
    std::string moduleName_;
    std::string debugFlagsFile_;
    std::string followedFolder_;  // the log directory at construction, whose debug-flags file is followed
    std::uint32_t processId_ = 0;
    bool firstOnSystem_ = false;
    // Declared last and stopped first: its thread calls followDebugFlags until it is gone.
    std::unique_ptr<platform::FileWatcher> watcher_;
};

// The library's logger: null before the first initialisation and after the last teardown.
// Guarded like initialisation itself: set and cleared only by the library's init and done.
LogMsgWriter* libraryLogger();
// Installs a logger (or none) as the library's logger and log sink, and returns the previous one, which the
// caller now owns.
std::unique_ptr<LogMsgWriter> exchangeLibraryLogger(std::unique_ptr<LogMsgWriter> logger);

} // namespace qx
