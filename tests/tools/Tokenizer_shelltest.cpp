// tests/tools/Tokenizer_shelltest.cpp -- the qxprop shell's word splitting and its shared argument
// parsers, without a library or a terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Command.h"
#include "Tokenizer.h"

namespace qx::shell {
namespace {

using Words = std::vector<std::string>;

TEST(Tokenizer, SplitsAtRunsOfBlanksAndTabs) {
    EXPECT_EQ(tokenize("  lock \t global   1000  "), (Words{"lock", "global", "1000"}));
    EXPECT_EQ(tokenize(""), Words{});
    EXPECT_EQ(tokenize(" \t "), Words{});
}

TEST(Tokenizer, QuotesKeepBlanksAndMayBeEmpty) {
    EXPECT_EQ(tokenize(R"(set "a  b" "" c)"), (Words{"set", "a  b", "", "c"}));
    EXPECT_EQ(tokenize(R"(x"y z"w)"), (Words{"xy zw"}));
    EXPECT_EQ(tokenize(R"("")"), (Words{""}));
}

TEST(Tokenizer, EscapesOnlyQuoteAndBackslashInsideQuotes) {
    EXPECT_EQ(tokenize(R"("say \"hi\"")"), (Words{R"(say "hi")"}));
    EXPECT_EQ(tokenize(R"("a\\b")"), (Words{R"(a\b)"}));
    EXPECT_EQ(tokenize(R"("%d\n")"), (Words{R"(%d\n)"}));
    EXPECT_EQ(tokenize(R"(C:\dir\file)"), (Words{R"(C:\dir\file)"}));
    // An escaped backslash at the end does not swallow the closing quote.
    EXPECT_EQ(tokenize(R"("end\\" next)"), (Words{R"(end\)", "next"}));
}

TEST(Tokenizer, HashStartsACommentOnlyAtTheLineStart) {
    EXPECT_EQ(tokenize("# lock global"), Words{});
    EXPECT_EQ(tokenize("   #indented"), Words{});
    EXPECT_EQ(tokenize("echo a#b # c"), (Words{"echo", "a#b", "#", "c"}));
}

TEST(Tokenizer, UnterminatedQuoteIsRefused) {
    EXPECT_THROW(tokenize(R"(echo "open)"), UsageError);
    EXPECT_THROW(tokenize(R"(echo "escaped end\")"), UsageError);
}

TEST(Tokenizer, DropsTheCarriageReturnOfWindowsLineEnds) {
    EXPECT_EQ(tokenize("unlock global\r"), (Words{"unlock", "global"}));
}

TEST(ArgumentParsers, ReadDecimalAndHex) {
    EXPECT_EQ(parseInt32("-2020", "code"), -2020);
    EXPECT_EQ(parseInt32("+7", "code"), 7);
    EXPECT_EQ(parseInt32("0xFFFFF830", "code"), -2000);
    EXPECT_EQ(parseInt32("-2147483648", "code"), -2147483647 - 1);
    EXPECT_EQ(parseUInt32("0xFFFFFFFF", "timeout"), 0xFFFFFFFFu);
    EXPECT_EQ(parseUInt32("4294967295", "timeout"), 0xFFFFFFFFu);
    EXPECT_EQ(parseUInt32("0x0001ffff", "handle"), 0x1FFFFu);
}

TEST(ArgumentParsers, RefuseJunkAndOverflowNamingTheArgument) {
    for (const char* bad : {"", "12x", "0x", "2147483648", "-2147483649", "0x100000000", "--1", "-0x5", " 1"})
        EXPECT_THROW(parseInt32(bad, "code"), UsageError) << bad;
    for (const char* bad : {"-1", "4294967296", "0xG", "ten"})
        EXPECT_THROW(parseUInt32(bad, "timeout"), UsageError) << bad;
    try {
        parseUInt32("ten", "timeout_ms");
        FAIL();
    } catch (const UsageError& e) {
        EXPECT_STREQ(e.what(), "timeout_ms: 'ten' is not a number in range");
    }
}

void installZeta(CommandTable& t) { t.add({"zeta", "", "", 0, 0, nullptr}); }
void installAlpha(CommandTable& t) {
    t.add({"alpha", "", "", 0, 0, nullptr});
    t.add({"alpha2", "", "", 0, 0, nullptr});
}
const FamilyRegistration zeta("zeta", &installZeta);
const FamilyRegistration alpha("alpha", &installAlpha);

TEST(CommandTable, InstallsFamiliesSortedByNameWhateverTheirRegistrationOrder) {
    CommandTable table;
    installFamilies(table);
    ASSERT_EQ(table.commands().size(), 3u);
    EXPECT_EQ(table.commands()[0].name, "alpha");
    EXPECT_EQ(table.commands()[0].family, "alpha");
    EXPECT_EQ(table.commands()[2].name, "zeta");
    EXPECT_EQ(table.commands()[2].family, "zeta");
    EXPECT_EQ(table.find("alpha2"), &table.commands()[1]);
    EXPECT_EQ(table.find("alpha3"), nullptr);
}

TEST(CommandTable, RefusesASecondCommandOfTheSameName) {
    CommandTable table;
    table.add({"echo", "", "", 0, 0, nullptr});
    EXPECT_THROW(table.add({"echo", "", "", 0, 0, nullptr}), std::logic_error);
}

} // namespace
} // namespace qx::shell
