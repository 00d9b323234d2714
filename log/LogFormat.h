// log/LogFormat.h -- the texts the logger writes, as pure functions: file lines in the three formats, console
// lines, the XML header and footer, the escaping of message texts, the configuration summary and the file
// paths. Nothing here touches a file, a clock or a lock, so every layout can be checked byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::logformat {

enum FileFormat : int { Xml = 0, Text = 1, QxLog = 2 };
enum TimestampFormat : int { RelativeMs = 0, LocalMs = 1 };

inline constexpr std::string_view kFooter = "</qxTelvarLogFile>";
inline constexpr std::int64_t kDayMs = 86400000;

// The fields that vary from line to line. tsText is used in local_ms mode, ts in relative_ms mode.
struct LineFields {
    std::int64_t ts = 0;
    std::string_view tsText;
    std::int64_t td = 0;
    std::uint32_t procId = 0;
    std::uint64_t threadId = 0;
    int messageClass = 0;
};

// Appends one file line of the given format (the message's own text follows the prefix unchanged in text
// files; XML and qxlog files get a whole element ending in "\n").
void appendFileLine(std::string& out, int fileFormat, int timestampFormat, const LineFields& f,
                    std::string_view message);
// The decorated line of standard output and the debug output.
void appendConsoleLine(std::string& out, int timestampFormat, const LineFields& f, std::string_view message);

// The message as an attribute value. &, " and < become entities (& first, so none is escaped twice); so that
// the file stays well-formed whatever a caller logs, control characters other than tab, line feed and
// carriage return, and bytes that are not UTF-8, become '?'.
void appendEscaped(std::string& out, std::string_view message);

std::string xmlHeader(std::string_view fileName, std::string_view stylesheet);

// "HH:MM:SS.mmm" of the local time of day: now in 100-ns units of UTC, bias in milliseconds (UTC - local).
inline constexpr std::size_t kTimeOfDayLength = 12;
void writeTimeOfDay(char (&text)[kTimeOfDayLength], std::int64_t now100ns, std::int64_t biasMs) noexcept;
std::string timeOfDayText(std::int64_t now100ns, std::int64_t biasMs);

// Bits 31..0 as '1'/'0' without leading zeros, a blank between groups of eight counted from the right.
std::string flagWordText(std::uint32_t flags);
// "standard out, system debug output, file (name)" for the set bits of the mask; empty for none.
std::string outputsText(std::uint32_t mask, std::string_view fileName);
// A string of binary digits, the last character bit 0; position i sets bit i modulo 32.
std::uint32_t parseBitString(std::string_view digits);

std::string_view extensionOf(int fileFormat);
// name with the first "STDLOGDIR" replaced by directory, and the format's extension appended when missing.
std::string buildLogFilePath(std::string_view directory, std::string_view name, int fileFormat);
// The named-object name of a file: every '\\' and '/' replaced by '#'.
std::string objectNameOf(std::string_view fileName);

// The last timestamp of a file's text, 0 when there is none. relative_ms: the number after the last ts=",
// read up to the next quote followed by a blank. local_ms: the last ts="HH:MM:SS.mmm" as milliseconds since
// midnight UTC (biasMs as for timeOfDayText), the value the writer compares the next message with.
std::int64_t lastTimestampIn(std::string_view text, int timestampFormat, std::int64_t biasMs);

} // namespace qx::logformat
