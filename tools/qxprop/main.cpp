// tools/qxprop/main.cpp -- the qxprop command line: options, and which line sources run in what order
// (-c commands first, then the script file; standard input only when neither is given).
// Exit status: 0 when every command succeeded, 1 when one failed, 2 for a usage or file error.
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "LineSource.h"
#include "Shell.h"

namespace {

constexpr const char* kUsage =
    "usage: qxprop [--bail] [-c COMMAND]... [FILE]\n"
    "  FILE         run the commands of a script ('-' for standard input); a FILE ending in .xml is a\n"
    "               setting, opened as a list for editing ('save' writes it back)\n"
    "  -c COMMAND   run one command; may be repeated, runs before FILE\n"
    "  --bail       stop at the first failing command\n"
    "Without -c and FILE, commands are read from standard input, with line editing on a terminal.\n";

int usageError(const std::string& text) {
    std::cerr << "qxprop: " << text << '\n' << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using namespace qx::shell;
    bool bail = false;
    std::vector<std::string> commands;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--bail") {
            bail = true;
        } else if (arg == "-c") {
            if (i + 1 == argc) return usageError("-c needs a command");
            commands.emplace_back(argv[++i]);
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (!file.empty()) {
            return usageError("only one script file");
        } else {
            file = arg;
        }
    }

    // A setting file: open it, then read commands as without a script (unless -c gave them).
    bool readInput = commands.empty();
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".xml") == 0) {
        std::string quoted = "open \"";
        for (char c : file) {
            if (c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
        commands.insert(commands.begin(), quoted + "\"");
        file.clear();
    }

    try {
        // Open the script before anything runs, so a wrong name changes nothing.
        std::unique_ptr<LineSource> script;
        if (!file.empty()) script = file == "-" ? stdinSource() : fileSource(file);
        else if (readInput) script = stdinIsTerminal() ? terminalSource() : stdinSource();

        Shell shell(std::cout, bail);
        setCompleter([&shell](const std::string& line) { return completeLine(shell.commands(), line); });
        bool goOn = true;
        if (!commands.empty()) {
            auto source = listSource(std::move(commands), "-c");
            goOn = shell.runSource(*source);
        }
        if (goOn && script) shell.runSource(*script);
        return shell.finish();
    } catch (const std::exception& e) {
        std::cerr << "qxprop: " << e.what() << '\n';
        return 2;
    }
}
