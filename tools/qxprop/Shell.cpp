// tools/qxprop/Shell.cpp -- reading, dispatch, help and the one error format of the qxprop shell.
// Two kinds of error line exist and no other: "error <code> <NAME>: <text>" when a library call failed
// (name and text from the library), and "error: <text>" when the shell itself refused a line (unknown
// command, bad arguments). A command prefixed with ! is expected to fail; that inverts its success so a
// script can show a refusal without failing the run.
#include "Shell.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <vector>

#include "LastError.h"
#include "Tokenizer.h"

namespace qx::shell {

Shell::Shell(std::ostream& out, bool bail) : out_(out), bail_(bail) {
    table_.setFamily("shell");
    table_.add({"help", "[command]", "list the commands, or show how to use one", 0, 1,
                [this](Session&, Args a) { return help(a); }});
    const Handler quit = [](Session& s, Args) {
        s.requestQuit();
        return true;
    };
    table_.add({"complete", "<text>", "what Tab completes at the end of text: commands, or paths of names", 1, 1,
                [this](Session&, Args a) {
                    for (const std::string& word : completeLine(table_, a[0])) out_ << word << '\n';
                    return true;
                }});
    table_.add({"quit", "", "leave the shell", 0, 0, quit});
    table_.add({"exit", "", "leave the shell", 0, 0, quit});
    installFamilies(table_);
}

bool Shell::runLine(const std::string& line) {
    bool ok = false;
    try {
        std::vector<std::string> words = tokenize(line);
        if (words.empty()) return true;
        bool expectFailure = false;
        if (words[0] == "!") {
            expectFailure = true;
            words.erase(words.begin());
        } else if (words[0].starts_with('!')) {
            expectFailure = true;
            words[0].erase(0, 1);
        }
        if (words.empty()) throw UsageError("! needs a command to expect a failure of");
        ok = dispatch(words);
        if (expectFailure) {
            if (ok) out_ << "error: '" << words[0] << "' was expected to fail but succeeded\n";
            ok = !ok;
        }
    } catch (const std::exception& e) { // UsageError, or a failure of the shell itself
        out_ << "error: " << e.what() << '\n';
        ok = false;
    }
    if (!ok) ++failed_;
    return ok;
}

bool Shell::dispatch(Args words) {
    const Command* command = table_.find(words[0]);
    if (!command) throw UsageError("unknown command '" + words[0] + "' (try help)");
    const Args args = words.subspan(1);
    if (args.size() < command->minArgs || args.size() > command->maxArgs)
        throw UsageError("usage: " + command->name + (command->synopsis.empty() ? "" : " " + command->synopsis));
    return command->run(*this, args);
}

bool Shell::runSource(LineSource& source) {
    while (!quit_) {
        const std::optional<std::string> line = source.next();
        if (!line) return true;
        const bool ok = runLine(*line);
        out_.flush();
        if (!ok && bail_ && !source.interactive()) {
            std::cerr << "qxprop: stopped at " << source.where() << '\n';
            return false;
        }
    }
    return false;
}

int Shell::finish() {
    for (const auto& hook : table_.exitHooks()) hook(*this);
    out_.flush();
    return failed_ == 0 ? 0 : 1;
}

bool Shell::check(int result) {
    if (result == 0) return true;
    out_ << "error " << result << ' ' << errorName(result) << ": ";
    LastError last;
    const int readResult = readLastError(last);
    if (readResult == 0)
        out_ << last.text << '\n';
    else
        out_ << "(no text: qxPropHandlingGetLastError returned " << readResult << ' ' << errorName(readResult)
             << ")\n";
    return false;
}

void Shell::printUsage(const Command& command) {
    out_ << command.name << (command.synopsis.empty() ? "" : " ") << command.synopsis << "\n  " << command.help
         << '\n';
}

bool Shell::help(Args words) {
    if (!words.empty()) {
        const Command* command = table_.find(words[0]);
        if (!command) throw UsageError("unknown command '" + words[0] + "' (try help)");
        printUsage(*command);
        return true;
    }
    std::size_t width = 0;
    for (const Command& c : table_.commands()) width = std::max(width, c.name.size() + 1 + c.synopsis.size());
    std::string family;
    for (const Command& c : table_.commands()) {
        if (c.family != family) {
            family = c.family;
            out_ << family << ":\n";
        }
        const std::string usage = c.name + " " + c.synopsis;
        out_ << "  " << usage << std::string(width - usage.size() + 2, ' ') << c.help << '\n';
    }
    out_ << "Words are split at blanks; \"double quotes\" keep blanks (\\\" and \\\\ inside them). A line\n"
            "starting with # is a comment. Prefix a command with ! when it is meant to fail: the run then\n"
            "counts its failure as success, and its success as a failure.\n";
    return true;
}

} // namespace qx::shell
