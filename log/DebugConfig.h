// log/DebugConfig.h -- what the debug-flags file says for one module, and the log file list's text. Kept
// apart from the XML parsers so the rules (defaults, case-blind names, bit strings, which element wins) are
// plain functions of their inputs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qx {

struct DebugConfig {
    std::string moduleName;
    bool matched = false;
    std::string outputFile;
    std::string stylesheet = "qxTelvarLogFile.xsl";
    int fileFormat = 2;
    int timestampFormat = 1;
    std::uint32_t flags = 0;
    std::uint32_t outputMask = 0;
    bool clearFile = false;
    bool backupPreviousFile = true;
    std::vector<std::string> qxlogFiles;  // outputfile of every DebugWriter in the qxlog format, any module
    std::vector<std::string> problems;    // attribute values that were out of range, as readable notes
};

using Attributes = std::map<std::string, std::string>;

// Applies one DebugWriter element.
void applyDebugWriter(DebugConfig& config, const Attributes& attributes);

// The log file list for names: base names only, sorted, each once; with checkExistence only those for which
// exists(base name) is true.
std::string logFileListText(const std::vector<std::string>& names, bool checkExistence,
                            const std::function<bool(const std::string&)>& exists);

} // namespace qx
