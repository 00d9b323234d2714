// setting/XmlText.cpp -- escaping of attribute values and value texts (the rules are in the header).
#include "setting/XmlText.h"

#include <charconv>
#include <cstdint>

#include "frame/XmlChar.h"
#include "property/Base64.h"

namespace qx {
namespace {

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
