// log/DebugConfig.cpp -- the rules of a DebugWriter element and the text of the log file list.
#include "log/DebugConfig.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "log/LogFormat.h"

namespace qx {

namespace {
std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

const std::string* find(const Attributes& attributes, const char* name) {
    const auto it = attributes.find(name);
    return it == attributes.end() ? nullptr : &it->second;
}

// An integer attribute: non-zero means on. Text that is no integer reads as 0 (as atoi would) and is noted.
bool flagValue(DebugConfig& config, const char* attribute, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE)
        config.problems.push_back(std::string(attribute) + "=\"" + text + "\" is not an integer; read as " +
                                  (value != 0 ? "non-zero" : "0"));
    return value != 0;
}

void checkBits(DebugConfig& config, const char* attribute, const std::string& text) {
    if (text.find_first_not_of("01") != std::string::npos)
        config.problems.push_back(std::string(attribute) + "=\"" + text +
                                  "\" holds characters other than 0 and 1; they count as 0");
    if (text.size() > 32)
        config.problems.push_back(std::string(attribute) + "=\"" + text.substr(0, 40) +
                                  "...\" has more than 32 digits; the extra ones wrap into the low bits");
}
} // namespace

void applyDebugWriter(DebugConfig& config, const Attributes& attributes) {
    const std::string* format = find(attributes, "fileFormat");
    int fileFormat = logformat::Xml;
    if (format) {
        const std::string f = lower(*format);
        fileFormat = f == "text" ? logformat::Text : f == "qxlog" ? logformat::QxLog : logformat::Xml;
    }
    const std::string* timestamp = find(attributes, "timestampFormat");
    const int timestampFormat =
        timestamp && lower(*timestamp) == "relative_ms" ? logformat::RelativeMs : logformat::LocalMs;
    const std::string* outputFile = find(attributes, "outputfile");
    if (outputFile && fileFormat == logformat::QxLog) config.qxlogFiles.push_back(*outputFile);

    const std::string* name = find(attributes, "name");
    if (!name || !sameIgnoringCase(*name, config.moduleName)) return;

    config.matched = true;
    if (const std::string* flags = find(attributes, "flags")) {
        checkBits(config, "flags", *flags);
        config.flags = logformat::parseBitString(*flags);
    }
    if (const std::string* mask = find(attributes, "outputmask")) {
        checkBits(config, "outputmask", *mask);
        config.outputMask = logformat::parseBitString(*mask);
    } else {
        config.outputMask = 2;
    }
    if (outputFile) config.outputFile = *outputFile;
    else config.outputMask &= ~4u;
    const std::string* clear = find(attributes, "clearFile");
    config.clearFile = clear ? flagValue(config, "clearFile", *clear) : true;
    const std::string* backup = find(attributes, "backupPreviousFile");
    config.backupPreviousFile = backup ? flagValue(config, "backupPreviousFile", *backup) : true;
    config.fileFormat = fileFormat;
    config.timestampFormat = timestampFormat;
    if (const std::string* stylesheet = find(attributes, "stylesheet")) config.stylesheet = *stylesheet;
}

std::string logFileListText(const std::vector<std::string>& names, bool checkExistence,
                            const std::function<bool(const std::string&)>& exists) {
    std::vector<std::string> bases;
    for (const std::string& name : names) {
        std::string last, part;
        for (char c : name) {
            if (c == '/' || c == '\\') {
                if (!part.empty()) last = part;
                part.clear();
            } else {
                part.push_back(c);
            }
        }
        if (!part.empty()) last = part;
        if (!last.empty()) bases.push_back(last);
    }
    std::sort(bases.begin(), bases.end());
    bases.erase(std::unique(bases.begin(), bases.end()), bases.end());
    std::string text = "<logfiles>\n";
    for (const std::string& base : bases) {
        if (checkExistence && !exists(base)) continue;
        text += "  <logfile name=\"";
        logformat::appendEscaped(text, base);
        text += "\" />\n";
    }
    text += "</logfiles>";
    return text;
}

} // namespace qx
