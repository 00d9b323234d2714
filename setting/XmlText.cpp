// setting/XmlText.cpp -- escaping of attribute values and value texts (the rules are in the header).
#include "setting/XmlText.h"

#include <charconv>
#include <cstdint>

#include "property/Base64.h"

namespace qx {
namespace {

// Length of the UTF-8 sequence starting at text[i] that XML accepts, 0 when there is none.
std::size_t xmlCharLength(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) return (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') ? 1 : 0;
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { n = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { n = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { n = 4; cp = c & 0x07; }
    else return 0;
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto cc = static_cast<unsigned char>(text[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0; // overlong, too large
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF) return 0;
    return n;
}

bool needsCare(unsigned char c) { return c < 0x20 || c >= 0x80 || c == '"' || c == '&' || c == '<'; }

void appendBase64(std::string& out, std::string_view text) {
    const std::string coded = encodeBase64(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    for (char c : coded)
        if (c != '\r' && c != '\n') out += c;
}

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '"': out += "&quot;"; break;
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
}

void appendIndex(std::string& out, unsigned long long index) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, index);
    out.append(digits, r.ptr);
}

} // namespace

bool isXmlText(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = xmlCharLength(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void appendAttribute(std::string& out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    bool plain = true;
    for (char c : value)
        if (needsCare(static_cast<unsigned char>(c))) {
            plain = false;
            break;
        }
    if (plain) {
        out += "=\"";
        out += value;
    } else if (isXmlText(value)) {
        out += "=\"";
        appendEscaped(out, value);
    } else {
        out += kBase64AttributeSuffix;
        out += "=\"";
        appendBase64(out, value);
    }
    out += '"';
}

void appendValueElement(std::string& out, unsigned long long index, std::string_view text) {
    out += "<Value index=\"";
    appendIndex(out, index);
    out += '"';
    if (!isXmlText(text)) {
        out += " val.b64=\"";
        appendBase64(out, text);
        out += "\"></Value>\n";
        return;
    }
    if (text.find_first_of("\t\n<>&") == std::string_view::npos) {
        out += " val=\"";
        if (text.find_first_of("\"\r") == std::string_view::npos) out += text;
        else appendEscaped(out, text);
        out += "\"></Value>\n";
        return;
    }
    out += '>';
    if (text.find_first_of("<>&") == std::string_view::npos) {
        for (char c : text) {
            if (c == '\r') out += "&#13;";
            else out += c;
        }
    } else {
        out += "<![CDATA[";
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                out += "]]>&#13;<![CDATA[";
            } else if (text.compare(i, 3, "]]>") == 0) {
                out += "]]]]><![CDATA[>";
                i += 2;
            } else {
                out += text[i];
            }
        }
        out += "]]>";
    }
    out += "</Value>\n";
}

std::string decodeBase64Text(std::string_view text) {
    const std::vector<std::uint8_t> bytes = decodeBase64(text);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace qx
