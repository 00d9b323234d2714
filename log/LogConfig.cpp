// log/LogConfig.cpp -- the logger's configuration: reading the debug-flags file and applying it
// (processDebugData), and reading and rewriting the log file list. The element rules are in DebugConfig.cpp,
// the parsers in CDebugFileParser.cpp.
//
// Two refusals a new user would otherwise not see: without a data directory there is no log directory (never
// "/Logs" at the root of the file system), and an output file whose path climbs out with ".." is not opened.
// Both are reported as class-31 messages, which are always written.
#include <algorithm>

#include "log/DebugConfig.h"

#include "log/CDebugFileParser.h"
#include "log/LogFormat.h"
#include "log/LogMsgWriter.h"
#include "log/OutputGuard.h"
#include "platform/SharedFile.h"

namespace qx {

namespace {
constexpr const char* kListFileName = "files.qxloglist";

bool climbsOut(const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

// The folder part of a path ("." when there is none).
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
} // namespace

bool LogMsgWriter::readDebugFlags(const std::string& moduleName, const std::string& directory,
                                  const std::string& debugFlagsFile, DebugConfig& config) {
    const std::string path = directory + "/" + debugFlagsFile;
    auto file = platform::SharedFile::open(path, platform::SharedFile::Mode::Read);
    std::string text;
    if (!file || !file->readAll(text)) {
        writeWarning("%s: WARNING!!! Debug file %s not found.\n", "LogMsgWriter::processDebugData", path.c_str());
        return false;
    }
    file.reset();
    CDebugFileParser parser(moduleName);
    const XmlOutcome outcome = parser.parseAll(text);
    if (!outcome.ok)
        writeLoggerError("%s: ERROR!!! XML error: %d(%s).\n", "LogMsgWriter::processDebugData", outcome.errorCode,
                         outcome.errorText.c_str());
    config = parser.config();
    for (const std::string& problem : config.problems)
        writeLoggerError("%s: ERROR!!! %s: %s.\n", "LogMsgWriter::processDebugData", path.c_str(), problem.c_str());
    return true;
}

std::string LogMsgWriter::outputFileOf(const DebugConfig& config, const std::string& directory) {
    if (climbsOut(config.outputFile)) {
        writeLoggerError("%s: ERROR!!! Output file '%s' leaves the log directory with '..'; refused. Stopping file "
                         "output\n",
                         "LogMsgWriter::processDebugData", config.outputFile.c_str());
        return {};
    }
    std::string name = config.outputFile.empty()
                           ? "defaultLog" + std::string(logformat::extensionOf(config.fileFormat))
                           : logformat::buildLogFilePath(directory, config.outputFile, config.fileFormat);
    if (!platform::isDirectory(folderOf(name)))
        writeLoggerError("%s: ERROR!!! The folder '%s' of output file '%s' does not exist.\n",
                         "LogMsgWriter::processDebugData", folderOf(name).c_str(), name.c_str());
    return name;
}

void LogMsgWriter::processDebugData(const std::string& moduleName, const std::string& debugFlagsFile) {
    const std::string directory = logDirectory();
    if (directory.empty()) {
        writeLoggerError("%s: ERROR!!! No log directory: QXTELVAR_DATA_DIR is not set and the user has no home "
                         "folder. Set QXTELVAR_DATA_DIR to a folder of yours to use a debug-flags file.\n",
                         "LogMsgWriter::processDebugData");
        return;
    }
    DebugConfig config;
    if (!readDebugFlags(moduleName, directory, debugFlagsFile, config)) return;

    if (firstOnSystem_) {
        std::vector<std::string> paths;
        for (const std::string& name : config.qxlogFiles)
            paths.push_back(logformat::buildLogFilePath(directory, name, logformat::QxLog));
        writeLogFileList(directory, paths, true);
    }
    setFlags(config.flags);
    outputMask_.store(config.outputMask, std::memory_order_relaxed);
    setTimestampFormat(config.timestampFormat);
    if (!(config.outputMask & File)) {
        fileFormat_.store(config.fileFormat, std::memory_order_relaxed);
        return;
    }
    const std::string name = outputFileOf(config, directory);
    if (name.empty()) {
        outputMask_.fetch_and(~static_cast<std::uint32_t>(File), std::memory_order_relaxed);
        return;
    }
    setOutputToFile(name.c_str(), config.stylesheet.c_str(), config.fileFormat, config.clearFile,
                    config.backupPreviousFile);
}

// Unlike the first reading, nothing is applied piece by piece: classes, outputs and timestamps change together
// under the output lock, so a message of another thread is written wholly by the old configuration or wholly
// by the new one. Switching files takes the output lock again (setOutputToFile); messages in between go to
// the consoles of the new configuration only.
void LogMsgWriter::followDebugFlags() {
    const std::string directory = followedFolder_;
    DebugConfig config;
    if (directory.empty() || !readDebugFlags(moduleName_, directory, debugFlagsFile_, config)) return;
    std::string name;
    if (config.outputMask & File) name = outputFileOf(config, directory);
    const std::uint32_t consoles = config.outputMask & (StandardOut | DebugOutput);
    bool switchFile = false;
    {
        OutputGuard guard(*this);
        const bool keepFile = file_ && !name.empty() && name == currentFileName_ && config.fileFormat == fileFormat();
        if (!name.empty() && !keepFile) {
            switchFile = true;
        } else if (name.empty() && file_) {
            closeFile();
        }
        flags_.store(config.flags | kAlwaysOn, std::memory_order_relaxed);
        timestampFormat_.store(config.timestampFormat == 0 ? 0 : 1, std::memory_order_relaxed);
        outputMask_.store(consoles | (keepFile ? std::uint32_t{File} : 0u), std::memory_order_relaxed);
        if (name.empty()) fileFormat_.store(config.fileFormat, std::memory_order_relaxed);
    }
    if (switchFile)
        setOutputToFile(name.c_str(), config.stylesheet.c_str(), config.fileFormat, config.clearFile,
                        config.backupPreviousFile);
    logConfigurationSummary();
}

std::vector<std::string> LogMsgWriter::readLogFileList(const std::string& directory) {
    if (directory.empty()) return {};
    const std::string path = directory + "/" + kListFileName;
    OutputGuard guard(*this);
    auto file = platform::SharedFile::open(path, platform::SharedFile::Mode::Read);
    std::string text;
    if (!file || !file->readAll(text)) {
        writeWarning("%s: WARNING!!! log file list(%s) not found.\n", "LogMsgWriter::setOutputToFile", path.c_str());
        return {};
    }
    CLogFileListParser parser;
    const XmlOutcome outcome = parser.parseAll(text);
    if (!outcome.ok)
        writeLoggerError("%s: ERROR!!! XML error: %d(%s).\n", "LogMsgWriter::setOutputToFile", outcome.errorCode,
                         outcome.errorText.c_str());
    return parser.names();
}

// The list is written to a temporary file renamed over the old one: readers in other processes open it by
// path without the output lock and must never see it half-written.
void LogMsgWriter::writeLogFileList(const std::string& directory, const std::vector<std::string>& names,
                                    bool checkExistence) {
    if (directory.empty()) return;
    const std::string path = directory + "/" + kListFileName;
    OutputGuard guard(*this);
    const std::string text = logFileListText(names, checkExistence, [&](const std::string& base) {
        return platform::fileReadable(directory + "/" + base);
    });
    const std::string temporary = path + ".tmp";
    {
        auto file = platform::SharedFile::open(temporary, platform::SharedFile::Mode::Write);
        if (!file || !file->write(text)) return;
    }
    if (platform::renameFile(temporary, path) != 0) platform::removeFile(temporary);
}

} // namespace qx
