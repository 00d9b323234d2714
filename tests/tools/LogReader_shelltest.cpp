// The shell's log reader fed as `log show --follow` feeds it: in pieces of any size, while a file grows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogReader.h"

namespace qx::shell {
namespace {

std::vector<std::string> read(LogReader::Kind kind, const std::string& text, std::size_t piece) {
    std::vector<std::string> lines;
    LogReader reader(kind, [&](const std::string& line) { lines.push_back(line); });
    for (std::size_t at = 0; at < text.size(); at += piece) EXPECT_TRUE(reader.feed(text.substr(at, piece)));
    return lines;
}

TEST(LogReader, PiecesOfAnySizeGiveTheSameLines) {
    const struct {
        LogReader::Kind kind;
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {LogReader::Kind::Text,
         "ts=\"     10\" td=\"  0\" procId=\"  4\" threadId=\"  5\" df=\" 3\":a \"b\"\nts=\"12:00:00.001\" td=\"2\" "
         "procId=\"4\" threadId=\"5\" df=\"31\":two\nlines\n",
         {"10 +0 4:5 [3] a \"b\"", "12:00:00.001 +2 4:5 [31] two", "lines"}},
        {LogReader::Kind::QxLog,
         "<logmsg ts=\"1\" td=\"0\" procId=\"7\" threadId=\"8\" df=\"2\" msg=\"x &amp; &lt;y&gt;\n\" />\n"
         "<logmsg ts=\"2\" td=\"1\" procId=\"7\" threadId=\"8\" df=\"3\" msg=\"z\n\" />\n",
         {"1 +0 7:8 [2] x & <y>", "2 +1 7:8 [3] z"}},
        {LogReader::Kind::Xml,
         "<?xml version=\"1.0\"?>\n<qxTelvarLogFile name=\"a\">\n<logmsg ts=\"1\" td=\"0\" procId=\"7\" "
         "threadId=\"8\" df=\"2\" msg=\"m\" />\n</qxTelvarLogFile>",
         {"1 +0 7:8 [2] m"}},
    };
    for (const auto& c : cases)
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, c.text.size()})
            EXPECT_EQ(read(c.kind, c.text, piece), c.lines) << "piece " << piece;
}

TEST(LogReader, AnUnfinishedDocumentIsNotedAndRestartForgetsItsState) {
    std::vector<std::string> lines;
    LogReader reader(LogReader::Kind::Xml, [&](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(reader.feed("<?xml version=\"1.0\"?>\n<qxTelvarLogFile name=\"a\">\n<logmsg ts=\"1\" msg=\"m\" />\n"));
    EXPECT_NE(reader.endNote(), "");
    EXPECT_TRUE(reader.feed("</qxTelvarLogFile>"));
    EXPECT_EQ(reader.endNote(), "");
    EXPECT_FALSE(reader.feed("<more/>"));  // nothing may follow the root element
    EXPECT_NE(reader.error(), "");
    reader.restart();  // the file was cleared: a new document starts
    EXPECT_TRUE(reader.feed("<?xml version=\"1.0\"?>\n<qxTelvarLogFile name=\"a\">\n<logmsg ts=\"2\" msg=\"n\" />\n"));
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(LogReader::kindOf("a.txt"), LogReader::Kind::Text);
    EXPECT_EQ(LogReader::kindOf("a.qxlog"), LogReader::Kind::QxLog);
    EXPECT_EQ(LogReader::kindOf("a.log"), LogReader::Kind::Xml);
}

} // namespace
} // namespace qx::shell
