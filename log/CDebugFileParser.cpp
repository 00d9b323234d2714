// log/CDebugFileParser.cpp -- the start-element handlers of the debug-flags file and the log file list, and
// feeding a whole file to expat through its own buffer.
#include "log/CDebugFileParser.h"

#include <climits>
#include <cstring>
#include <new>

#include "platform/DebugOutput.h"

namespace qx {

namespace {
Attributes collect(const XML_Char** attributes) {
    Attributes map;
    for (const XML_Char** a = attributes; a && a[0] && a[1]; a += 2) map[a[0]] = a[1];
    return map;
}

void reportUnknown(const char* parser, const char* tag) {
    std::string text = parser;
    text += "::OnStartElement: Unrecognized XML tag: ";
    text += tag;
    text += "\n";
    platform::writeDebugOutput(text);
}

template <class Parser>
XmlOutcome feed(Parser& parser, const std::string& text) {
    XmlOutcome outcome;
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        outcome.ok = false;
        outcome.errorCode = XML_ERROR_NO_MEMORY;
        outcome.errorText = CExpatImpl::errorString(XML_ERROR_NO_MEMORY);
        return outcome;
    }
    const int length = static_cast<int>(text.size());
    if (length == 0) {
        if (!parser.parse(text.data(), 0, true)) {
            outcome.ok = false;
            outcome.errorCode = static_cast<int>(parser.errorCode());
            outcome.errorText = CExpatImpl::errorString(parser.errorCode());
        }
        return outcome;
    }
    void* buffer = parser.getBuffer(length);
    if (buffer == nullptr) throw std::bad_alloc();
    std::memcpy(buffer, text.data(), text.size());
    if (!parser.parseBuffer(length, true)) {
        outcome.ok = false;
        outcome.errorCode = static_cast<int>(parser.errorCode());
        outcome.errorText = CExpatImpl::errorString(parser.errorCode());
    }
    return outcome;
}
} // namespace

CDebugFileParser::CDebugFileParser(const std::string& moduleName) {
    config_.moduleName = moduleName;
    create();
}

void CDebugFileParser::OnPostCreate() { enableStartElementHandler(true); }

void CDebugFileParser::OnStartElement(const XML_Char* name, const XML_Char** attributes) {
    if (std::strcmp(name, "DebugWriter") == 0) applyDebugWriter(config_, collect(attributes));
    else if (std::strcmp(name, "DebugWriterList") != 0) reportUnknown("CDebugFileParser", name);
}

XmlOutcome CDebugFileParser::parseAll(const std::string& text) { return feed(*this, text); }

CLogFileListParser::CLogFileListParser() { create(); }

void CLogFileListParser::OnPostCreate() { enableStartElementHandler(true); }

void CLogFileListParser::OnStartElement(const XML_Char* name, const XML_Char** attributes) {
    if (std::strcmp(name, "logfile") == 0) {
        const Attributes map = collect(attributes);
        if (const auto it = map.find("name"); it != map.end()) names_.push_back(it->second);
    } else if (std::strcmp(name, "logfiles") != 0) {
        reportUnknown("CLogFileListParser", name);
    }
}

XmlOutcome CLogFileListParser::parseAll(const std::string& text) { return feed(*this, text); }

} // namespace qx
