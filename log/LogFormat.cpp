// log/LogFormat.cpp -- the logger's text layouts. Numbers are formatted by hand rather than through
// snprintf: the prefix of every line has five of them, and a log write should cost little more than the
// write itself. The widths match printf's "%10lld" (right-aligned, blank-padded, wider values unclipped).
#include "log/LogFormat.h"

#include <charconv>
#include <cstring>

#include "frame/XmlChar.h"
#include "log/MessageFormat.h"

namespace qx::logformat {

namespace {

// A line's prefix is built in a local buffer and appended to the line in one piece: it has five numbers and
// six fixed texts, and growing a string a piece at a time cost more than the rest of the message together.
// The longest prefix (five 20-digit numbers, the longest texts) is far below kCapacity.
class Prefix {
public:
    static constexpr std::size_t kCapacity = 256;

    void text(std::string_view t) noexcept {
        std::memcpy(buffer_ + size_, t.data(), t.size());
        size_ += t.size();
    }
    void unsignedNumber(std::uint64_t value, std::size_t width, bool negative = false) noexcept {
        DecimalBuffer digits;
        const std::string_view number = decimalText(value, negative, digits);
        if (number.size() < width) {
            std::memset(buffer_ + size_, ' ', width - number.size());
            size_ += width - number.size();
        }
        text(number);
    }
    void signedNumber(std::int64_t value, std::size_t width) noexcept {
        const bool negative = value < 0;
        unsignedNumber(negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value), width,
                       negative);
    }
    void timestamp(int timestampFormat, const LineFields& f) noexcept {
        if (timestampFormat == RelativeMs) signedNumber(f.ts, 10);
        else text(f.tsText.substr(0, 40));
    }
    void appendTo(std::string& out) const { out.append(buffer_, size_); }

private:
    char buffer_[kCapacity];
    std::size_t size_ = 0;
};

} // namespace

void appendEscaped(std::string& out, std::string_view message) {
    for (std::size_t i = 0; i < message.size();) {
        const unsigned char c = static_cast<unsigned char>(message[i]);
        if (c < 0x80) {
            switch (c) {
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            case '<': out += "&lt;"; break;
            case '\t': case '\n': case '\r': out.push_back(static_cast<char>(c)); break;
            default: out.push_back(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
            }
            ++i;
            continue;
        }
        const std::size_t n = xmlCharLength(message, i);
        if (n == 0) {
            out.push_back('?');
            ++i;
        } else {
            out.append(message.substr(i, n));
            i += n;
        }
    }
}

void appendFileLine(std::string& out, int fileFormat, int timestampFormat, const LineFields& f,
                    std::string_view message) {
    const bool xml = fileFormat != Text;
    Prefix prefix;
    prefix.text(xml ? "<logmsg ts=\"" : "ts=\"");
    prefix.timestamp(timestampFormat, f);
    prefix.text("\" td=\"");
    prefix.signedNumber(f.td, 10);
    prefix.text("\" procId=\"");
    prefix.unsignedNumber(f.procId, xml ? 0 : 10);
    prefix.text("\" threadId=\"");
    prefix.unsignedNumber(f.threadId, 10);
    prefix.text("\" df=\"");
    prefix.signedNumber(f.messageClass, xml ? 0 : 2);
    prefix.text(xml ? "\" msg=\"" : "\":");
    prefix.appendTo(out);
    if (!xml) {
        out += message;
        return;
    }
    appendEscaped(out, message);
    out += "\" />\n";
}

void appendConsoleLine(std::string& out, int timestampFormat, const LineFields& f, std::string_view message) {
    Prefix prefix;
    prefix.text("{");
    prefix.timestamp(timestampFormat, f);
    prefix.text(", ");
    prefix.signedNumber(f.td, 10);
    prefix.text(", ");
    prefix.unsignedNumber(f.procId, 10);
    prefix.text(", ");
    prefix.unsignedNumber(f.threadId, 10);
    prefix.text("}: ");
    prefix.appendTo(out);
    out += message;
}

std::string xmlHeader(std::string_view fileName, std::string_view stylesheet) {
    std::string header = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n";
    if (!stylesheet.empty() && stylesheet != "none") {
        header += "<?xml-stylesheet href=\"";
        header += stylesheet;
        header += "\" type=\"text/xsl\"?>\n";
    }
    header += "<qxTelvarLogFile name=\"";
    header += fileName;
    header += "\">\n";
    return header;
}

void writeTimeOfDay(char (&text)[kTimeOfDayLength], std::int64_t now100ns, std::int64_t biasMs) noexcept {
    constexpr std::int64_t day100ns = kDayMs * 10000;
    std::int64_t local = (now100ns - biasMs * 10000) % day100ns;
    if (local < 0) local += day100ns;
    const std::int64_t ms = local / 10000;
    const int h = static_cast<int>(ms / 3600000), m = static_cast<int>(ms / 60000 % 60),
              s = static_cast<int>(ms / 1000 % 60), frac = static_cast<int>(ms % 1000);
    const auto two = [&](std::size_t at, int v) {
        text[at] = static_cast<char>('0' + v / 10);
        text[at + 1] = static_cast<char>('0' + v % 10);
    };
    two(0, h);
    text[2] = ':';
    two(3, m);
    text[5] = ':';
    two(6, s);
    text[8] = '.';
    text[9] = static_cast<char>('0' + frac / 100);
    text[10] = static_cast<char>('0' + frac / 10 % 10);
    text[11] = static_cast<char>('0' + frac % 10);
}

std::string timeOfDayText(std::int64_t now100ns, std::int64_t biasMs) {
    char text[kTimeOfDayLength];
    writeTimeOfDay(text, now100ns, biasMs);
    return std::string(text, sizeof text);
}

std::string flagWordText(std::uint32_t flags) {
    int top = 31;
    while (top > 0 && (flags & (1u << top)) == 0) --top;
    std::string text;
    for (int bit = top; bit >= 0; --bit) {
        text.push_back((flags & (1u << bit)) ? '1' : '0');
        if (bit > 0 && bit % 8 == 0) text.push_back(' ');
    }
    return text;
}

std::string outputsText(std::uint32_t mask, std::string_view fileName) {
    std::string text;
    const auto add = [&](std::string_view part) {
        if (!text.empty()) text += ", ";
        text += part;
    };
    if (mask & 1) add("standard out");
    if (mask & 2) add("system debug output");
    if (mask & 4) {
        add("file (");
        for (char c : fileName) text.push_back(c == '"' || c == '<' || c == '&' ? '#' : c);
        text.push_back(')');
    }
    return text;
}

std::uint32_t parseBitString(std::string_view digits) {
    std::uint32_t bits = 0;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i)
        if (digits[n - 1 - i] == '1') bits |= 1u << (i % 32);
    return bits;
}

std::string_view extensionOf(int fileFormat) {
    return fileFormat == Text ? ".txt" : fileFormat == QxLog ? ".qxlog" : ".xml";
}

std::string buildLogFilePath(std::string_view directory, std::string_view name, int fileFormat) {
    std::string path(name);
    constexpr std::string_view marker = "STDLOGDIR";
    if (const std::size_t at = path.find(marker); at != std::string::npos) path.replace(at, marker.size(), directory);
    const std::string_view ext = extensionOf(fileFormat);
    if (path.size() < ext.size() || path.compare(path.size() - ext.size(), ext.size(), ext) != 0) path += ext;
    return path;
}

std::string objectNameOf(std::string_view fileName) {
    std::string name(fileName);
    for (char& c : name)
        if (c == '\\' || c == '/') c = '#';
    return name;
}

std::int64_t lastTimestampIn(std::string_view text, int timestampFormat, std::int64_t biasMs) {
    constexpr std::string_view marker = "ts=\"";
    std::size_t at = text.rfind(marker);
    while (at != std::string_view::npos) {
        const std::size_t start = at + marker.size();
        std::size_t end = text.find('"', start);
        while (end != std::string_view::npos && end + 1 < text.size() && text[end + 1] != ' ')
            end = text.find('"', end + 1);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view value = text.substr(start, end - start);
        if (timestampFormat == RelativeMs) {
            std::size_t skip = 0;
            while (skip < value.size() && value[skip] == ' ') ++skip;
            std::int64_t ts = 0;
            const auto [ptr, ec] = std::from_chars(value.data() + skip, value.data() + value.size(), ts);
            if (ec == std::errc() && ptr == value.data() + value.size()) return ts;
        } else if (value.size() == 12 && value[2] == ':' && value[5] == ':' && value[8] == '.') {
            int parts[4] = {};
            const std::size_t offsets[4] = {0, 3, 6, 9}, lengths[4] = {2, 2, 2, 3};
            bool ok = true;
            for (int k = 0; k < 4 && ok; ++k) {
                const char* b = value.data() + offsets[k];
                const auto [ptr, ec] = std::from_chars(b, b + lengths[k], parts[k]);
                ok = ec == std::errc() && ptr == b + lengths[k];
            }
            if (ok) {
                std::int64_t ms = ((parts[0] * 60LL + parts[1]) * 60 + parts[2]) * 1000 + parts[3] + biasMs;
                ms %= kDayMs;
                return ms < 0 ? ms + kDayMs : (ms == 0 ? kDayMs : ms);
            }
        }
        if (at == 0) break;
        at = text.rfind(marker, at - 1);
    }
    return 0;
}

} // namespace qx::logformat
