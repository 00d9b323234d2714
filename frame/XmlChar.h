// frame/XmlChar.h -- which bytes of a text XML can carry, for the two writers of XML (setting documents and
// log files): the one place that knows well-formed UTF-8 and XML's character range.
#pragma once

#include <cstddef>
#include <string_view>

namespace qx {

// Length of the character at text[i] when XML accepts it: 1 for tab, line feed, carriage return and the
// ASCII characters from space up; 2 to 4 for a well-formed UTF-8 sequence of a character XML allows (no
// overlong forms, surrogates, U+FFFE, U+FFFF or values past U+10FFFF). 0 for anything else.
std::size_t xmlCharLength(std::string_view text, std::size_t i);

} // namespace qx
