// tools/qxprop/LogReader.h -- turns the bytes of a log file, as they arrive, into readable lines: one per
// message, "<time> <td> <process>:<thread> [<class>] <message>". Text files are read line by line; XML
// documents and qxlog fragments through expat, fed piece by piece, so a file that another process is still
// writing can be followed.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qx::shell {

class LogReader {
public:
    enum class Kind { Text, Xml, QxLog };
    using Sink = std::function<void(const std::string& line)>;

    // kind from the file name's extension (.txt, .qxlog, anything else XML).
    static Kind kindOf(std::string_view fileName);

    LogReader(Kind kind, Sink sink);
    ~LogReader();
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // Feeds the next bytes of the file. False when the XML is malformed (the error is in error()).
    bool feed(std::string_view bytes);
    // At the end of what is there now: a note when the file stops inside the document (an XML file that a
    // writer still has open, or one whose writer was killed, has no footer yet), else empty.
    std::string endNote();
    // Forgets everything read: the file was cleared or replaced.
    void restart();
    const std::string& error() const { return error_; }

private:
    class XmlParser;
    void textLine(std::string_view line);

    Kind kind_;
    Sink sink_;
    std::string partial_;  // text: the unfinished last line
    std::unique_ptr<XmlParser> xml_;
    std::string error_;
    std::string tail_;        // XML: the last bytes seen, to tell whether the footer has arrived
    bool sawFooter_ = false;
};

} // namespace qx::shell
