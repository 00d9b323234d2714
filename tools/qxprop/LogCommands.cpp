// tools/qxprop/LogCommands.cpp -- the log family: where the library logs (the debug-flags file, the log
// folder, the outputs and classes it selects), the log file list, and log files shown as readable lines,
// optionally followed while other processes write them.
//
// No exported function reaches the logger, so the configuration is read here from the same files with the
// library's own rules (compiled in from log/): it is what the library of this shell read at start, unless
// the file changed since.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Command.h"
#include "LogReader.h"
#include "Tokenizer.h"
#include "log/CDebugFileParser.h"
#include "log/LogFolders.h"
#include "log/LogFormat.h"
#include "platform/DebugOutput.h"

namespace qx::shell {

namespace {

constexpr const char* kModule = "qxPropHandling";
constexpr const char* kDebugFlagsFile = "qxDebugFlags.qxd";

bool readWhole(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string classList(std::uint32_t flags) {
    std::string text;
    for (int c = 0; c < 32; ++c)
        if (flags & (1u << c)) text += (text.empty() ? "" : " ") + std::to_string(c);
    return text;
}

bool config(Session& s, Args) {
    const std::string folder = logfolders::logDirectory();
    if (folder.empty()) {
        s.out() << "folder none: QXTELVAR_DATA_DIR is unset and there is no home folder\n";
        return false;
    }
    const std::string path = folder + "/" + kDebugFlagsFile;
    std::uint32_t flags = 0x80000000u, mask = 2;
    int fileFormat = 0, timestampFormat = 1;
    std::string outputFile;
    std::string text;
    s.out() << "configuration " << path;
    if (!readWhole(path, text)) {
        s.out() << " (not found: the library keeps its initial settings)\n";
    } else {
        CDebugFileParser parser(kModule);
        const XmlOutcome outcome = parser.parseAll(text);
        const DebugConfig& c = parser.config();
        s.out() << (c.matched ? "" : " (no DebugWriter for qxPropHandling: all output off)") << '\n';
        if (!outcome.ok) s.out() << "xml error " << outcome.errorCode << " (" << outcome.errorText << ")\n";
        for (const std::string& problem : c.problems) s.out() << "problem " << problem << '\n';
        flags = c.flags | 0x80000000u;
        mask = c.outputMask;
        fileFormat = c.fileFormat;
        timestampFormat = c.timestampFormat;
        if (mask & 4)
            outputFile = c.outputFile.empty() ? "defaultLog" + std::string(logformat::extensionOf(fileFormat))
                                              : logformat::buildLogFilePath(folder, c.outputFile, fileFormat);
    }
    s.out() << "folder " << folder << '\n';
    const std::string outputs = logformat::outputsText(mask, outputFile);
    s.out() << "outputs " << (outputs.empty() ? "none" : outputs) << '\n';
    s.out() << "classes " << classList(flags) << '\n';
    s.out() << "format " << (fileFormat == 1 ? "text" : fileFormat == 2 ? "qxlog" : "xml") << ", timestamps "
            << (timestampFormat == 0 ? "relative_ms" : "local_ms") << '\n';
    s.out() << "debug output " << platform::debugOutputTarget() << '\n';
    return true;
}

bool files(Session& s, Args) {
    const std::string folder = logfolders::logDirectory();
    std::string text;
    if (folder.empty() || !readWhole(folder + "/files.qxloglist", text)) {
        s.out() << "no log file list in " << (folder.empty() ? "(no folder)" : folder) << '\n';
        return false;
    }
    CLogFileListParser parser;
    const XmlOutcome outcome = parser.parseAll(text);
    for (const std::string& name : parser.names()) {
        const std::string path = folder + "/" + name;
        s.out() << path << (std::ifstream(path) ? "" : " (missing)") << '\n';
    }
    if (!outcome.ok) s.out() << "xml error " << outcome.errorCode << " (" << outcome.errorText << ")\n";
    return outcome.ok;
}

bool show(Session& s, Args a) {
    const std::string& path = a[0];
    double followSeconds = 0;
    bool follow = false;
    if (a.size() > 1) {
        if (a[1] != "--follow") throw UsageError("log show <file> [--follow [seconds]]");
        follow = true;
        followSeconds = a.size() > 2 ? parseUInt32(a[2], "seconds") : -1;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        s.out() << "cannot open " << path << '\n';
        return false;
    }
    LogReader reader(LogReader::kindOf(path), [&](const std::string& line) { s.out() << line << '\n'; });
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(followSeconds * 1000));
    std::streamoff offset = 0;
    std::vector<char> buffer(65536);
    for (;;) {
        in.clear();
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        if (size < offset) {  // cleared or replaced: start over
            offset = 0;
            reader.restart();
        }
        in.seekg(offset);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
            offset += in.gcount();
            if (!reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())))) {
                s.out() << "malformed log: " << reader.error() << '\n';
                return false;
            }
        }
        s.out().flush();
        if (!follow || (followSeconds >= 0 && std::chrono::steady_clock::now() >= until)) {
            if (const std::string note = reader.endNote(); !note.empty()) s.out() << "note: " << note << '\n';
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        // A file renamed away (backup) is followed under its name: reopen to see the new one.
        in.close();
        in.open(path, std::ios::binary);
        if (!in) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

bool log(Session& s, Args a) {
    const std::string& what = a[0];
    const Args rest = a.subspan(1);
    if (what == "config" && rest.empty()) return config(s, rest);
    if (what == "files" && rest.empty()) return files(s, rest);
    if (what == "show" && !rest.empty() && rest.size() <= 3) return show(s, rest);
    throw UsageError("log config | log files | log show <file> [--follow [seconds]]");
}

void install(CommandTable& t) {
    t.add({"log", "config | files | show <file> [--follow [seconds]]",
           "where the library logs (configuration file, folder, outputs, classes), the qxlog files of the log "
           "folder, or a log file (text, XML or qxlog) as readable lines, followed while it grows",
           1, 4, log});
}

const FamilyRegistration registration("log", &install);

} // namespace

} // namespace qx::shell
