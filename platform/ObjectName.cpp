// platform/ObjectName.cpp -- name escaping for named-object files (see ObjectName.h).
#include "platform/ObjectName.h"

#include <cstdint>

namespace qx::platform {

namespace {

constexpr std::size_t kLongestEscaped = 160;
constexpr std::size_t kKeptBeforeHash = 120;
constexpr char kHex[] = "0123456789ABCDEF";

std::uint64_t fnv1a64(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

bool keptAsIs(unsigned char c, bool leading) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c == '-' || c == '_' || (c == '.' && !leading);
}

} // namespace

std::string objectFileName(std::string_view name) {
    std::string escaped;
    escaped.reserve(name.size());
    for (unsigned char c : name) {
        if (keptAsIs(c, escaped.empty())) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 0xF];
        }
    }
    if (escaped.size() <= kLongestEscaped) return escaped;
    std::string shortened = escaped.substr(0, kKeptBeforeHash);
    shortened += '~';
    const std::uint64_t hash = fnv1a64(name);
    for (int shift = 60; shift >= 0; shift -= 4) shortened += kHex[(hash >> shift) & 0xF];
    return shortened;
}

} // namespace qx::platform
