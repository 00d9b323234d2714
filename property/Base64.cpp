// property/Base64.cpp -- base64 encoding and decoding of binary property values. The line length counts
// every output character, padding included, so a text whose length is a multiple of 76 ends in CR LF.
#include "property/Base64.h"

#include <array>

namespace qx {

namespace {
constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t lineLength = 76;

constexpr std::array<std::int8_t, 256> makeDecodeTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& entry : table) entry = -1;
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}
constexpr std::array<std::int8_t, 256> decodeTable = makeDecodeTable();

// Appends c and the CR LF that closes every full line.
void put(std::string& out, char c, std::size_t& column) {
    out += c;
    if (++column == lineLength) {
        out += "\r\n";
        column = 0;
    }
}
} // namespace

std::string encodeBase64(const std::uint8_t* bytes, std::size_t size) {
    std::string out;
    out.reserve(size / 3 * 4 + size / 57 * 2 + 6);
    std::size_t column = 0;
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        put(out, alphabet[(group >> 18) & 0x3F], column);
        put(out, alphabet[(group >> 12) & 0x3F], column);
        put(out, alphabet[(group >> 6) & 0x3F], column);
        put(out, alphabet[group & 0x3F], column);
    }
    const std::size_t rest = size - i;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        if (rest == 2) group |= std::uint32_t{bytes[i + 1]} << 8;
        put(out, alphabet[(group >> 18) & 0x3F], column);
        put(out, alphabet[(group >> 12) & 0x3F], column);
        put(out, rest == 2 ? alphabet[(group >> 6) & 0x3F] : '=', column);
        put(out, '=', column);
    }
    return out;
}

std::vector<std::uint8_t> decodeBase64(std::string_view text) {
    std::vector<std::uint8_t> out;
    if (text.size() < 4) return out;
    out.reserve(text.size() / 4 * 3 + 2);
    std::uint32_t group = 0;
    int k = 0;
    for (const char c : text) {
        if (c == '=') break;
        const std::int8_t v = decodeTable[static_cast<unsigned char>(c)];
        if (v < 0) continue;
        group = (group << 6) | static_cast<std::uint32_t>(v);
        if (++k == 4) {
            out.push_back(static_cast<std::uint8_t>(group >> 16));
            out.push_back(static_cast<std::uint8_t>(group >> 8));
            out.push_back(static_cast<std::uint8_t>(group));
            group = 0;
            k = 0;
        }
    }
    // k characters carry k * 6 bits: 2 give one byte, 3 give two, 1 gives none.
    if (k == 2) {
        out.push_back(static_cast<std::uint8_t>(group >> 4));
    } else if (k == 3) {
        out.push_back(static_cast<std::uint8_t>(group >> 10));
        out.push_back(static_cast<std::uint8_t>(group >> 2));
    }
    return out;
}

} // namespace qx
