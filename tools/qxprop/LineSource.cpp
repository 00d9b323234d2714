// tools/qxprop/LineSource.cpp -- the non-interactive line sources and the terminal test.
// The terminal test reads the link behind /proc/self/fd/0 rather than calling isatty(): tools use no
// POSIX headers, and the shell only ever runs on Linux, where a terminal is a /dev/pts or /dev/tty node.
#include "LineSource.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <system_error>

namespace qx::shell {

namespace {

class StreamSource final : public LineSource {
public:
    StreamSource(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {}
    std::optional<std::string> next() override {
        std::string line;
        if (!std::getline(in_, line)) return std::nullopt;
        ++line_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }
    std::string where() const override { return name_ + ":" + std::to_string(line_); }

private:
    std::istream& in_;
    std::string name_;
    unsigned line_ = 0;
};

class FileSource final : public LineSource {
public:
    explicit FileSource(const std::string& path) : file_(path), lines_(file_, path) {
        if (!file_) throw std::runtime_error("cannot open " + path);
    }
    std::optional<std::string> next() override { return lines_.next(); }
    std::string where() const override { return lines_.where(); }

private:
    std::ifstream file_;
    StreamSource lines_; // reads file_, declared after it
};

class ListSource final : public LineSource {
public:
    ListSource(std::vector<std::string> lines, std::string name) : lines_(std::move(lines)), name_(std::move(name)) {}
    std::optional<std::string> next() override {
        if (next_ == lines_.size()) return std::nullopt;
        return lines_[next_++];
    }
    std::string where() const override { return name_ + " #" + std::to_string(next_); }

private:
    std::vector<std::string> lines_;
    std::string name_;
    std::size_t next_ = 0;
};

} // namespace

std::unique_ptr<LineSource> fileSource(const std::string& path) { return std::make_unique<FileSource>(path); }

std::unique_ptr<LineSource> stdinSource() { return std::make_unique<StreamSource>(std::cin, "<stdin>"); }

std::unique_ptr<LineSource> listSource(std::vector<std::string> lines, std::string name) {
    return std::make_unique<ListSource>(std::move(lines), std::move(name));
}

bool stdinIsTerminal() {
    std::error_code ec;
    const std::string target = std::filesystem::read_symlink("/proc/self/fd/0", ec).string();
    if (ec) return false;
    return target.starts_with("/dev/pts/") || target.starts_with("/dev/tty") || target == "/dev/console";
}

namespace {
Completer& completerSlot() {
    static Completer slot;
    return slot;
}
} // namespace

void setCompleter(Completer c) { completerSlot() = std::move(c); }
const Completer& completer() { return completerSlot(); }

} // namespace qx::shell
