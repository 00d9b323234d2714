// tools/qxprop/Command.cpp -- the command table, the family registry and the shared argument parsers.
// The registry is a function-local static because families register from static constructors in other
// files, whose order against this file's statics is unspecified.
#include "Command.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <utility>

#include "Tokenizer.h"

namespace qx::shell {

namespace {

struct Family {
    std::string name;
    FamilyInstaller install;
};

std::vector<Family>& registry() {
    static std::vector<Family> families;
    return families;
}

bool isHexPrefix(std::string_view text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Parses all of text as an unsigned number in base 10 or, with 0x, base 16.
bool parseUnsigned(std::string_view text, std::uint64_t& value) {
    int base = 10;
    if (isHexPrefix(text)) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

[[noreturn]] void badNumber(std::string_view text, std::string_view what) {
    throw UsageError(std::string(what) + ": '" + std::string(text) + "' is not a number in range");
}

} // namespace

void CommandTable::add(Command command) {
    if (find(command.name)) throw std::logic_error("qxprop command registered twice: " + command.name);
    command.family = family_;
    commands_.push_back(std::move(command));
}

void CommandTable::addExitHook(std::function<void(Session&)> hook) { exitHooks_.push_back(std::move(hook)); }

std::uint32_t parseEntryIndex(std::string_view word) {
    if (word == "append") return 0xFFFF;
    if (word == "free") return 0xFFFE;
    const std::uint32_t index = parseUInt32(word, "index");
    if (index > 0xFFFF) throw UsageError("index: 0 to 65535, append or free");
    return index;
}

const Command* CommandTable::find(std::string_view name) const {
    for (const Command& command : commands_)
        if (command.name == name) return &command;
    return nullptr;
}

FamilyRegistration::FamilyRegistration(const char* family, FamilyInstaller install) {
    registry().push_back({family, install});
}

void installFamilies(CommandTable& table) {
    std::vector<Family> families = registry();
    std::stable_sort(families.begin(), families.end(),
                     [](const Family& a, const Family& b) { return a.name < b.name; });
    for (const Family& family : families) {
        table.setFamily(family.name);
        family.install(table);
    }
}

std::int32_t parseInt32(std::string_view text, std::string_view what) {
    std::uint64_t magnitude = 0;
    if (isHexPrefix(text)) {
        if (!parseUnsigned(text, magnitude) || magnitude > 0xFFFFFFFFu) badNumber(text, what);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
    }
    const bool negative = !text.empty() && text[0] == '-';
    std::string_view digits = text;
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
    if (isHexPrefix(digits) || !parseUnsigned(digits, magnitude)) badNumber(text, what);
    const std::int64_t value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (magnitude > 0x80000000u || value > std::numeric_limits<std::int32_t>::max()) badNumber(text, what);
    return static_cast<std::int32_t>(value);
}

std::uint32_t parseUInt32(std::string_view text, std::string_view what) {
    std::uint64_t value = 0;
    if (!parseUnsigned(text, value) || value > 0xFFFFFFFFu) badNumber(text, what);
    return static_cast<std::uint32_t>(value);
}

} // namespace qx::shell
