// property/Base64.h -- the text form of binary data in string properties: standard alphabet, '=' padding,
// CR LF after every 76 characters of output. Decoding is tolerant: it skips characters outside the alphabet
// (the line breaks among them) and stops at the first '='.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

std::string encodeBase64(const std::uint8_t* bytes, std::size_t size);
// A text shorter than 4 characters holds no bytes. A final group of 2 or 3 characters gives 1 or 2 bytes.
std::vector<std::uint8_t> decodeBase64(std::string_view text);

} // namespace qx
