// platform/RegistryExpand.cpp -- owns %NAME% expansion for registry values of the expandable string
// type. The result is capped at 32768 bytes with its terminating zero: a value that expands past that is
// refused rather than cut, so a caller never works with half a path.
#include <cstdlib>
#include <cstring>

#include "platform/Registry.h"

namespace qx::platform {

namespace {

constexpr std::size_t kMaxExpanded = 32768;

} // namespace

std::optional<std::string> expandEnvironmentStrings(std::string_view source) {
    std::string out;
    std::size_t i = 0;
    while (i < source.size()) {
        const std::size_t open = source.find('%', i);
        if (open == std::string_view::npos) {
            out.append(source.substr(i));
            break;
        }
        out.append(source.substr(i, open - i));
        const std::size_t close = source.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(source.substr(open));
            break;
        }
        const std::string name(source.substr(open + 1, close - open - 1));
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value) {
            out.append(value);
            i = close + 1;
        } else {
            // Kept as written; the closing % may open the next name ("%unset%HOME%" keeps "%unset" and
            // expands %HOME%).
            out.append(source.substr(open, close - open));
            i = close;
        }
        if (out.size() >= kMaxExpanded) return std::nullopt;
    }
    if (out.size() + 1 > kMaxExpanded) return std::nullopt;
    return out;
}

std::uint32_t expandEnvironmentStrings(const char* source, char* dest, std::uint32_t size) {
    if (!source) return 0;
    const auto result = expandEnvironmentStrings(std::string_view(source));
    if (!result) return 0;
    const auto needed = static_cast<std::uint32_t>(result->size() + 1);
    if (dest && size >= needed) std::memcpy(dest, result->c_str(), needed);
    return needed;
}

} // namespace qx::platform
