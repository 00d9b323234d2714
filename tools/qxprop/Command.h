// tools/qxprop/Command.h -- what a family of qxprop commands sees of the shell: the command record, the
// table families fill, the session a handler runs in, and the registration that lets a family file add
// itself. A new family is one new .cpp file in this folder holding
//     const qx::shell::FamilyRegistration registration("lists", &installListCommands);
// and no edit anywhere else. Handlers stay thin: parse words, call the C interface, print the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qx::shell {

using Args = std::span<const std::string>;

// What a handler may use of the running shell.
class Session {
public:
    virtual ~Session() = default;
    virtual std::ostream& out() = 0;
    // Reports the result of one call of the C interface: 0 returns true; any other code prints
    // "error <code> <NAME>: <text>" from the library's own name and last-error text and returns false.
    virtual bool check(int result) = 0;
    // Stops reading commands after the current one.
    virtual void requestQuit() = 0;
};

// Returns true when the command succeeded. May throw UsageError for arguments it cannot use.
using Handler = std::function<bool(Session&, Args)>;

inline constexpr std::size_t kAnyCount = std::numeric_limits<std::size_t>::max();

struct Command {
    std::string name;
    std::string synopsis; // the arguments, e.g. "<code> [text]"
    std::string help;     // one line
    std::size_t minArgs = 0;
    std::size_t maxArgs = 0; // kAnyCount: no limit
    Handler run;
    std::string family{}; // filled in by CommandTable::add
};

// The commands of one shell, in the order families added them; families are installed sorted by name,
// so help output does not depend on link order.
class CommandTable {
public:
    // Throws std::logic_error for a name that is already taken: two families must not fight over a word.
    void add(Command command);
    // Runs when the shell ends, in the order added; for notes about state a script left behind.
    void addExitHook(std::function<void(Session&)> hook);

    const Command* find(std::string_view name) const;
    const std::vector<Command>& commands() const { return commands_; }
    const std::vector<std::function<void(Session&)>>& exitHooks() const { return exitHooks_; }

    void setFamily(std::string family) { family_ = std::move(family); }

private:
    std::vector<Command> commands_;
    std::vector<std::function<void(Session&)>> exitHooks_;
    std::string family_;
};

using FamilyInstaller = void (*)(CommandTable&);

// A namespace-scope object of this type in a family's file registers the family before main runs.
class FamilyRegistration {
public:
    FamilyRegistration(const char* family, FamilyInstaller install);
    FamilyRegistration(const FamilyRegistration&) = delete;
    FamilyRegistration& operator=(const FamilyRegistration&) = delete;
};

// Adds every registered family to the table, sorted by family name.
void installFamilies(CommandTable& table);

// Argument parsing shared by the families; each throws UsageError naming `what` on bad input.
// Decimal with an optional sign, or 0x hex taken as the 32-bit pattern (0xFFFFF830 is -2000).
std::int32_t parseInt32(std::string_view text, std::string_view what);
// Decimal or 0x hex, 0 to 0xFFFFFFFF.
std::uint32_t parseUInt32(std::string_view text, std::string_view what);
// Entry index words of registrations: a number up to 65535, "append" (0xFFFF) or "free" (first free
// entry, 0xFFFE).
std::uint32_t parseEntryIndex(std::string_view word);

// Handles. A handle word is a number, or a path of names such as camera/gain whose first name is a list
// this session created, imported or opened; a path that ends at a list gives the list's own handle.
std::uint32_t parseHandle(std::string_view text);
// The lists a path may start from, by name (a later list of the same name replaces an earlier one).
void rememberList(const std::string& name, std::uint32_t list);
void forgetList(std::uint32_t list);
const std::vector<std::pair<std::string, std::uint32_t>>& knownLists();
// The path of names that leads to h ("" when its outermost list is unknown to the session).
std::string pathOf(std::uint32_t h);
// "0x00020001 camera/gain", or the handle alone when it has no path.
std::string handleAndPath(std::uint32_t h);
// Completions of the last word of line (the text before the cursor): command names for the first word,
// paths of names (from the session's lists) for the others. Full words, sorted.
std::vector<std::string> completeLine(const CommandTable& table, std::string_view line);

} // namespace qx::shell
