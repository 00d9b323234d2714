// tools/qxprop/LineSource.h -- where the qxprop shell's command lines come from: a script file, a
// non-terminal standard input, the -c arguments, or a terminal with line editing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx::shell {

class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line without its line end; nullopt at the end of the input.
    virtual std::optional<std::string> next() = 0;
    // "name:line" of the line last returned, for messages.
    virtual std::string where() const = 0;
    // Interactive sources never bail: a person at a terminal corrects and goes on.
    virtual bool interactive() const { return false; }
};

// Throws std::runtime_error when the file cannot be opened.
std::unique_ptr<LineSource> fileSource(const std::string& path);
std::unique_ptr<LineSource> stdinSource();
std::unique_ptr<LineSource> listSource(std::vector<std::string> lines, std::string name);

// Whether standard input is a terminal.
bool stdinIsTerminal();
// What Tab offers on the terminal: completions of the last word of the text before the cursor.
using Completer = std::function<std::vector<std::string>(const std::string& line)>;
void setCompleter(Completer completer);
const Completer& completer();

// Prompting, editing source on the terminal; one build links the libedit version, one a plain fallback.
std::unique_ptr<LineSource> terminalSource();

} // namespace qx::shell
