// tools/qxprop/LogReader.cpp -- readable lines from the three log formats. A qxlog file has no root element,
// so its parser is first given an opening tag of its own; an XML document's parser gets the file as it is.
#include "LogReader.h"

#include <cstring>

#include "frame/CExpatImpl.h"

namespace qx::shell {

namespace {
std::string readable(std::string_view ts, std::string_view td, std::string_view proc, std::string_view thread,
                     std::string_view df, std::string_view msg) {
    const auto trim = [](std::string_view v) {
        while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
        return v;
    };
    // Messages end with a line end, which an XML attribute turns into a blank.
    while (!msg.empty() && (msg.back() == '\n' || msg.back() == '\r' || msg.back() == ' ')) msg.remove_suffix(1);
    std::string line(trim(ts));
    line += " +";
    line += trim(td);
    line += ' ';
    line += trim(proc);
    line += ':';
    line += trim(thread);
    line += " [";
    line += trim(df);
    line += "] ";
    line += msg;
    return line;
}

// The value of name="..." in a text line's prefix, searched from `from`.
std::string_view attribute(std::string_view line, std::string_view name, std::size_t& from) {
    const std::string key = std::string(name) + "=\"";
    const std::size_t at = line.find(key, from);
    if (at == std::string_view::npos) return {};
    const std::size_t start = at + key.size();
    const std::size_t end = line.find('"', start);
    if (end == std::string_view::npos) return {};
    from = end + 1;
    return line.substr(start, end - start);
}
} // namespace

class LogReader::XmlParser final : public CExpatImpl {
public:
    explicit XmlParser(Sink& sink) : sink_(sink) { create(); }

protected:
    void OnPostCreate() override { enableStartElementHandler(true); }
    void OnStartElement(const XML_Char* name, const XML_Char** attributes) override {
        if (std::strcmp(name, "logmsg") != 0) return;
        std::string_view ts, td, proc, thread, df, msg;
        for (const XML_Char** a = attributes; a[0]; a += 2) {
            const std::string_view key = a[0];
            if (key == "ts") ts = a[1];
            else if (key == "td") td = a[1];
            else if (key == "procId") proc = a[1];
            else if (key == "threadId") thread = a[1];
            else if (key == "df") df = a[1];
            else if (key == "msg") msg = a[1];
        }
        sink_(readable(ts, td, proc, thread, df, msg));
    }

private:
    Sink& sink_;
};

LogReader::Kind LogReader::kindOf(std::string_view fileName) {
    if (fileName.ends_with(".txt")) return Kind::Text;
    if (fileName.ends_with(".qxlog")) return Kind::QxLog;
    return Kind::Xml;
}

LogReader::LogReader(Kind kind, Sink sink) : kind_(kind), sink_(std::move(sink)) { restart(); }

LogReader::~LogReader() = default;

void LogReader::restart() {
    partial_.clear();
    error_.clear();
    tail_.clear();
    sawFooter_ = false;
    if (kind_ == Kind::Text) return;
    xml_ = std::make_unique<XmlParser>(sink_);
    if (kind_ == Kind::QxLog) xml_->parse("<qxlog>", 7, false);
}

void LogReader::textLine(std::string_view line) {
    std::size_t from = 0;
    const std::string_view ts = attribute(line, "ts", from), td = attribute(line, "td", from),
                           proc = attribute(line, "procId", from), thread = attribute(line, "threadId", from),
                           df = attribute(line, "df", from);
    if (from == 0 || from >= line.size() || line[from] != ':') {
        sink_(std::string(line));  // not one of the logger's lines (a message's own continuation line)
        return;
    }
    sink_(readable(ts, td, proc, thread, df, line.substr(from + 1)));
}

bool LogReader::feed(std::string_view bytes) {
    if (kind_ == Kind::Text) {
        partial_.append(bytes);
        std::size_t start = 0;
        for (std::size_t end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n', start)) {
            textLine(std::string_view(partial_).substr(start, end - start));
            start = end + 1;
        }
        partial_.erase(0, start);
        return true;
    }
    if (!error_.empty()) return false;
    if (kind_ == Kind::Xml) {
        tail_.append(bytes);
        if (tail_.size() > 64) tail_.erase(0, tail_.size() - 64);
        sawFooter_ = std::string_view(tail_).ends_with("</qxTelvarLogFile>");
    }
    if (!xml_->parse(bytes.data(), static_cast<int>(bytes.size()), false)) {
        error_ = std::string(CExpatImpl::errorString(xml_->errorCode())) + " at line " +
                 std::to_string(xml_->currentLineNumber());
        return false;
    }
    return true;
}

std::string LogReader::endNote() {
    if (kind_ == Kind::Text) return partial_.empty() ? std::string() : "the last line has no line end yet";
    if (kind_ == Kind::QxLog || !error_.empty()) return {};
    // The live parser is never given a final block: a followed file may still grow.
    return sawFooter_ ? std::string() : "no footer: a writer still has the file open, or one was stopped";
}

} // namespace qx::shell
