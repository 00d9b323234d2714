// tools/qxprop/LogCommands.cpp -- the log family: where the library logs (the debug-flags file, the log
// folder, the outputs and classes it selects), the log file list, and log files shown as readable lines,
// optionally followed while other processes write them.
//
// No exported function reaches the logger, so the configuration is read here from the same files with the
// library's own rules (compiled in from log/). The commands that change logging change the debug-flags file;
// the library of every running process follows that file (it watches it), this shell's own included, so a
// change holds for the whole session from then on.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Command.h"
#include "DebugFlagsFile.h"
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
constexpr int kFollowPauseMs = 500;

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
    constexpr const char* kUsage = "log show <file> [--messages] [--follow [seconds]]";
    double followSeconds = 0;
    bool follow = false, messagesOnly = false;
    for (std::size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "--messages" && !messagesOnly) {
            messagesOnly = true;
        } else if (a[i] == "--follow" && !follow) {
            follow = true;
            followSeconds = i + 1 < a.size() && a[i + 1].rfind("--", 0) != 0 ? parseUInt32(a[++i], "seconds") : -1;
        } else {
            throw UsageError(kUsage);
        }
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        s.out() << "cannot open " << path << '\n';
        return false;
    }
    // --messages: from the class on, without the time, process and thread, which differ from run to run.
    LogReader reader(LogReader::kindOf(path), [&](const std::string& line) {
        const std::size_t at = messagesOnly ? line.find(" [") : std::string::npos;
        s.out() << (at == std::string::npos ? line : line.substr(at + 1)) << '\n';
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(followSeconds * 1000));
    // While following an XML document, a footer at the end is kept back (offset stays before it): a writer that
    // opens the file next rewrites it without the footer and goes on there, and reading resumes at that point.
    const bool holdFooter = follow && LogReader::kindOf(path) == LogReader::Kind::Xml;
    std::streamoff offset = 0;
    std::string fresh;
    std::vector<char> buffer(65536);
    const auto feed = [&](std::string_view bytes) {
        if (reader.feed(bytes)) return true;
        s.out() << "malformed log: " << reader.error() << '\n';
        return false;
    };
    for (;;) {
        in.clear();
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        if (size < offset) {  // cleared or replaced: start over
            offset = 0;
            reader.restart();
        }
        in.seekg(offset);
        fresh.clear();
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
            fresh.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
        std::string_view now(fresh);
        if (holdFooter && now.ends_with(logformat::kFooter)) now.remove_suffix(logformat::kFooter.size());
        offset += static_cast<std::streamoff>(now.size());
        if (!feed(now)) return false;
        s.out().flush();
        if (!follow || (followSeconds >= 0 && std::chrono::steady_clock::now() >= until)) {
            if (now.size() < fresh.size() && !feed(std::string_view(fresh).substr(now.size()))) return false;
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

std::string bitString(std::uint32_t bits) {
    std::string text;
    for (int bit = 31; bit >= 0; --bit)
        if (!text.empty() || (bits & (1u << bit))) text.push_back((bits & (1u << bit)) ? '1' : '0');
    return text.empty() ? "0" : text;
}

// Changes the qxPropHandling DebugWriter of the debug-flags file; `change` edits its attributes.
template <class Change>
bool edit(Session& s, Change change) {
    const std::string folder = logfolders::logDirectory();
    if (folder.empty()) {
        s.out() << "folder none: set QXTELVAR_DATA_DIR to a folder of yours\n";
        return false;
    }
    const std::string path = folder + "/" + kDebugFlagsFile;
    DebugFlagsFile file;
    std::string error;
    if (!file.load(path, error)) {
        s.out() << "not changed: " << path << " is malformed (" << error << ")\n";
        return false;
    }
    change(file.writerFor(kModule));
    if (!file.save(path)) {
        s.out() << "cannot write " << path << " (does the folder exist?)\n";
        return false;
    }
    // Running processes follow the file within milliseconds; the pause makes sure this shell's own library
    // has taken the change before the next command runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(kFollowPauseMs));
    s.out() << "wrote " << path << ": the running processes of the session log so from now on\n";
    return config(s, {});
}

int parseClass(const std::string& word) {
    const std::uint32_t c = parseUInt32(word, "class");
    if (c > 31) throw UsageError("a message class is 0 to 31");
    return static_cast<int>(c);
}

bool enable(Session& s, Args classes, bool on) {
    std::vector<int> parsed;
    for (const std::string& word : classes) parsed.push_back(parseClass(word));
    return edit(s, [&](DebugFlagsFile::Attributes& writer) {
        std::uint32_t flags = writer.count("flags") ? logformat::parseBitString(writer["flags"]) : 0;
        for (int c : parsed) flags = on ? flags | (1u << c) : flags & ~(1u << c);
        writer["flags"] = bitString(flags);
    });
}

bool outputs(Session& s, Args names) {
    std::uint32_t mask = 0;
    for (const std::string& name : names) {
        if (name == "stdout") mask |= 1;
        else if (name == "debug") mask |= 2;
        else if (name == "file") mask |= 4;
        else if (name != "none") throw UsageError("outputs are none, stdout, debug and file");
    }
    return edit(s, [&](DebugFlagsFile::Attributes& writer) {
        writer["outputmask"] = bitString(mask);
        if ((mask & 4) && !writer.count("outputfile")) writer["outputfile"] = "STDLOGDIR/qxPropHandling";
    });
}

bool file(Session& s, Args a) {
    if (a.size() > 1 && a[1] != "xml" && a[1] != "text" && a[1] != "qxlog")
        throw UsageError("file formats are xml, text and qxlog");
    return edit(s, [&](DebugFlagsFile::Attributes& writer) {
        writer["outputfile"] = a[0];
        if (a.size() > 1) writer["fileFormat"] = a[1];
    });
}

bool log(Session& s, Args a) {
    const std::string& what = a[0];
    const Args rest = a.subspan(1);
    if (what == "config" && rest.empty()) return config(s, rest);
    if (what == "files" && rest.empty()) return files(s, rest);
    if (what == "show" && !rest.empty() && rest.size() <= 4) return show(s, rest);
    if ((what == "enable" || what == "disable") && !rest.empty()) return enable(s, rest, what == "enable");
    if (what == "outputs" && !rest.empty()) return outputs(s, rest);
    if (what == "file" && !rest.empty() && rest.size() <= 2) return file(s, rest);
    throw UsageError("log config | files | show <file> [--messages] [--follow [seconds]] | enable <class>... | "
                     "disable <class>... | outputs none|stdout|debug|file... | file <name> [xml|text|qxlog]");
}

void install(CommandTable& t) {
    t.add({"log",
           "config | files | show <file> [--messages] [--follow [seconds]] | enable <class>... | disable <class>... | "
           "outputs none|stdout|debug|file... | file <name> [xml|text|qxlog]",
           "where the library logs (configuration file, folder, outputs, classes), the qxlog files of the log "
           "folder, a log file (text, XML or qxlog) as readable lines, followed while it grows; enable, disable, "
           "outputs and file change the debug-flags file, which the running processes of the session follow",
           1, kAnyCount, log});
}

const FamilyRegistration registration("log", &install);

} // namespace

} // namespace qx::shell
