// setting/XmlText.h -- the text pieces of the setting document that need care: attribute values and value
// texts. Ordinary texts are written unchanged; the few that plain writing would lose are written so that
// expat hands back exactly the same bytes:
//   - in attribute values '"', '&', '<', tab, line feed and carriage return become character references;
//   - in CDATA sections "]]>" is split over two sections, and a carriage return (which every XML reader
//     turns into a line feed) is written as a reference between two sections;
//   - a text that XML cannot carry at all (control characters, bytes that are not UTF-8) is written as
//     base64 in an attribute named after the original one plus ".b64", which the reader decodes.
#pragma once

#include <string>
#include <string_view>

namespace qx {

// Suffix of an attribute that carries its text as base64.
inline constexpr std::string_view kBase64AttributeSuffix = ".b64";

// Whether XML 1.0 can carry text at all (valid UTF-8 without the forbidden control characters).
bool isXmlText(std::string_view text);

// Appends ` name="value"` -- a space first, then the attribute (or its ".b64" form).
void appendAttribute(std::string& out, std::string_view name, std::string_view value);

// Appends one Value element and its line feed, in the form the value text asks for.
void appendValueElement(std::string& out, unsigned long long index, std::string_view text);

// Decodes the text of a ".b64" attribute.
std::string decodeBase64Text(std::string_view text);

} // namespace qx
