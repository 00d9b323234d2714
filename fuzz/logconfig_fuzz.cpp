// fuzz/logconfig_fuzz.cpp -- the logger's two input surfaces. The bytes are read as a debug-flags file and as
// a log file list (neither may crash, whatever the XML), and are logged as a message text, which, escaped into
// an XML log line, must always leave a well-formed document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <expat.h>

#include "log/CDebugFileParser.h"
#include "log/LogFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    qx::CDebugFileParser config("qxPropHandling");
    config.parseAll(text);
    qx::CLogFileListParser list;
    list.parseAll(text);

    std::string document = "<r>";
    qx::logformat::LineFields fields;
    fields.tsText = "00:00:00.000";
    qx::logformat::appendFileLine(document, qx::logformat::QxLog, qx::logformat::LocalMs, fields, text);
    document += "</r>";
    XML_Parser parser = XML_ParserCreate(nullptr);
    const bool ok = XML_Parse(parser, document.data(), static_cast<int>(document.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    if (!ok) std::abort();  // an escaped message broke the XML
    return 0;
}
