// tools/qxprop/Tokenizer.h -- splits one command line of the qxprop shell into words. Kept apart from the
// shell so the rules can be unit-tested and fuzzed without a library or a terminal.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qx::shell {

// A line the tokenizer cannot split, or a command given arguments it cannot use. The shell prints the
// text as "error: <text>" and counts the command as failed.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Words are separated by blanks and tabs. A double-quoted part may hold blanks; inside it \" and \\ stand
// for " and \, any other backslash is kept as it is. Quoted and unquoted parts that touch form one word
// (ab"c d" is the word `abc d`), and "" is an empty word. A line whose first non-blank character is # is a
// comment and yields no words; a # later in a line is an ordinary character. Throws UsageError on an
// unterminated quote.
std::vector<std::string> tokenize(std::string_view line);

} // namespace qx::shell
