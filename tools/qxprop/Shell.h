// tools/qxprop/Shell.h -- the core of the qxprop shell: runs lines from a source through the command
// table, prints errors in one format, counts failed commands and knows when to stop. It holds no command
// of a family; families add themselves (Command.h).
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "Command.h"
#include "LineSource.h"

namespace qx::shell {

class Shell final : public Session {
public:
    // out: where command output and error lines go; must outlive the shell.
    Shell(std::ostream& out, bool bail);
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // Runs one line; true when it was blank, a comment, or a command that succeeded.
    bool runLine(const std::string& line);
    // Runs lines until the source ends, quit is asked for, or (with bail) a command fails. Returns false
    // when the shell should read no further source.
    bool runSource(LineSource& source);
    // Runs the families' exit hooks; returns the process exit status: 1 if any command failed, else 0.
    int finish();

    std::ostream& out() override { return out_; }
    const CommandTable& commands() const { return table_; }
    bool check(int result) override;
    void requestQuit() override { quit_ = true; }

private:
    bool dispatch(Args words);
    bool help(Args words);
    void printUsage(const Command& command);

    std::ostream& out_;
    CommandTable table_;
    bool bail_;
    bool quit_ = false;
    std::size_t failed_ = 0;
};

} // namespace qx::shell
