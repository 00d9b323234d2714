// log/CDebugFileParser.h -- the two small XML readers of the logger: the debug-flags file (one DebugWriter
// element per module) and the log file list (one logfile element per qxlog file). Only their start-element
// handlers do work; an element they do not know is reported to the system debug output and skipped.
#pragma once

#include <string>
#include <vector>

#include "frame/CExpatImpl.h"
#include "log/DebugConfig.h"

namespace qx {

// The outcome of parsing one text: partial results stay usable after an XML error.
struct XmlOutcome {
    bool ok = true;
    int errorCode = 0;
    std::string errorText;
};

class CDebugFileParser final : public CExpatImpl {
public:
    explicit CDebugFileParser(const std::string& moduleName);
    const DebugConfig& config() const { return config_; }
    // Parses the whole text as the final block.
    XmlOutcome parseAll(const std::string& text);

protected:
    void OnStartElement(const XML_Char* name, const XML_Char** attributes) override;
    void OnPostCreate() override;

private:
    DebugConfig config_;
};

class CLogFileListParser final : public CExpatImpl {
public:
    CLogFileListParser();
    const std::vector<std::string>& names() const { return names_; }
    XmlOutcome parseAll(const std::string& text);

protected:
    void OnStartElement(const XML_Char* name, const XML_Char** attributes) override;
    void OnPostCreate() override;

private:
    std::vector<std::string> names_;
};

} // namespace qx
