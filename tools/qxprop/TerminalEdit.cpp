// tools/qxprop/TerminalEdit.cpp -- the interactive line source on libedit: emacs key bindings, the
// user's ~/.editrc, and a history kept in ~/.qxprop_history across sessions. libedit rather than GNU
// readline because readline's licence would bind the shell. Built when pkg-config finds libedit;
// TerminalPlain.cpp stands in otherwise.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <histedit.h>

#include "LineSource.h"

namespace qx::shell {

namespace {

char* prompt(EditLine*) {
    static char text[] = "qxprop> ";
    return text;
}

// Tab: one completion is inserted whole (with a '/' after a list's path would need a lookup, so a blank
// follows only command names); several insert their common prefix and are listed below the line.
unsigned char complete(EditLine* el, int) {
    const LineInfo* info = el_line(el);
    const std::string before(info->buffer, static_cast<std::size_t>(info->cursor - info->buffer));
    const Completer& c = completer();
    if (!c) return CC_ERROR;
    const std::vector<std::string> words = c(before);
    if (words.empty()) return CC_ERROR;
    const std::size_t start = before.find_last_of(" \t") == std::string::npos ? 0 : before.find_last_of(" \t") + 1;
    const std::size_t typed = before.size() - start;
    std::string common = words.front();
    for (const std::string& w : words) {
        std::size_t n = 0;
        while (n < common.size() && n < w.size() && common[n] == w[n]) ++n;
        common.resize(n);
    }
    if (common.size() > typed) el_insertstr(el, common.substr(typed).c_str());
    if (words.size() == 1) {
        if (start == 0) el_insertstr(el, " ");
        return CC_REFRESH;
    }
    std::fputc('\n', stdout);
    for (const std::string& w : words) std::fprintf(stdout, "%s  ", w.c_str());
    std::fputc('\n', stdout);
    return CC_REDISPLAY;
}

struct EditLineFree {
    void operator()(EditLine* el) const { el_end(el); }
};
struct HistoryFree {
    void operator()(History* h) const { history_end(h); }
};

class EditSource final : public LineSource {
public:
    EditSource() : history_(history_init()), edit_(el_init("qxprop", stdin, stdout, stderr)) {
        if (const char* home = std::getenv("HOME")) historyFile_ = std::string(home) + "/.qxprop_history";
        HistEvent event;
        if (history_) {
            history(history_.get(), &event, H_SETSIZE, 1000);
            history(history_.get(), &event, H_SETUNIQUE, 1);
            if (!historyFile_.empty()) history(history_.get(), &event, H_LOAD, historyFile_.c_str());
        }
        if (edit_) {
            el_set(edit_.get(), EL_PROMPT, &prompt);
            el_set(edit_.get(), EL_EDITOR, "emacs");
            el_set(edit_.get(), EL_SIGNAL, 1);
            if (history_) el_set(edit_.get(), EL_HIST, history, history_.get());
            el_set(edit_.get(), EL_ADDFN, "qx-complete", "complete a command or a path", &complete);
            el_set(edit_.get(), EL_BIND, "^I", "qx-complete", nullptr);
            el_source(edit_.get(), nullptr);
        }
    }
    ~EditSource() override {
        HistEvent event;
        if (history_ && !historyFile_.empty()) history(history_.get(), &event, H_SAVE, historyFile_.c_str());
    }
    EditSource(const EditSource&) = delete;
    EditSource& operator=(const EditSource&) = delete;

    std::optional<std::string> next() override {
        if (!edit_) return std::nullopt;
        int count = 0;
        const char* text = el_gets(edit_.get(), &count);
        if (!text || count <= 0) {
            std::fputc('\n', stdout); // leave the terminal on a fresh line after ^D
            return std::nullopt;
        }
        ++line_;
        std::string line(text, static_cast<std::size_t>(count));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (history_ && line.find_first_not_of(" \t") != std::string::npos) {
            HistEvent event;
            history(history_.get(), &event, H_ENTER, line.c_str());
        }
        return line;
    }
    std::string where() const override { return "<terminal>:" + std::to_string(line_); }
    bool interactive() const override { return true; }

private:
    std::unique_ptr<History, HistoryFree> history_;
    std::unique_ptr<EditLine, EditLineFree> edit_; // declared after history_: it refers to it until el_end
    std::string historyFile_;
    unsigned line_ = 0;
};

} // namespace

std::unique_ptr<LineSource> terminalSource() { return std::make_unique<EditSource>(); }

} // namespace qx::shell
