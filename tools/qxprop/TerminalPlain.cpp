// tools/qxprop/TerminalPlain.cpp -- the interactive line source when libedit is not available: a prompt
// and plain line reading, no editing or history. Built instead of TerminalEdit.cpp.
#include <iostream>

#include "LineSource.h"

namespace qx::shell {

namespace {

class PlainSource final : public LineSource {
public:
    std::optional<std::string> next() override {
        std::cout << "qxprop> " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line)) {
            std::cout << '\n';
            return std::nullopt;
        }
        ++line_;
        return line;
    }
    std::string where() const override { return "<terminal>:" + std::to_string(line_); }
    bool interactive() const override { return true; }

private:
    unsigned line_ = 0;
};

} // namespace

std::unique_ptr<LineSource> terminalSource() { return std::make_unique<PlainSource>(); }

} // namespace qx::shell
