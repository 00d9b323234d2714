// tools/qxprop/Tokenizer.cpp -- the word-splitting rules of the qxprop shell (see Tokenizer.h).
// Backslash is special only inside quotes so that paths and format strings typed bare keep their
// backslashes.
#include "Tokenizer.h"

namespace qx::shell {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
} // namespace

std::vector<std::string> tokenize(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i < line.size() && line[i] == '#') return words;

    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i == line.size()) break;
        std::string word;
        while (i < line.size() && !isBlank(line[i])) {
            if (line[i] != '"') {
                word += line[i++];
                continue;
            }
            ++i; // opening quote
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
                    word += line[i++];
                    continue;
                }
                word += c;
            }
            if (!closed) throw UsageError("unterminated quote");
        }
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace qx::shell
