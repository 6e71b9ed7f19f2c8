// The Windows command-line split: the arguments as the program receives them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/portable/CommandLineSplitter.h"

namespace KDAutoUpdate {
namespace {

using Items = std::vector<std::string>;

struct Case {
    const char* text;
    Items expected;
};

TEST(CommandLineSplitter, ArgumentsFollowTheQuoteAndBackslashRules) {
    const Case cases[] = {
        {R"(a b c)", {"a", "b", "c"}},
        {R"("a b" c)", {"a b", "c"}},
        // Backslashes are literal unless a quote follows them.
        {R"(a\\\b d"e f"g h)", {R"(a\\\b)", "de fg", "h"}},
        // 2n+1 backslashes before a quote: n backslashes and a literal quote.
        {R"(a\"b)", {R"(a"b)"}},
        {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
        // 2n backslashes before a quote: n backslashes, the quote delimits.
        {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
        {R"("C:\dir\\" next)", {R"(C:\dir\)", "next"}},
        // "" inside quotes is a literal quote and closes the quoted part.
        {R"("a""b")", {R"(a"b)"}},
        {R"(a"b"" c d)", {R"(ab")", "c", "d"}},
        {R"("a""b c")", {R"(a"b)", "c"}},
        {R"("""a""")", {R"("a")"}},
        // Empty arguments, tabs and an unterminated quote.
        {R"(a "" b)", {"a", "", "b"}},
        {"a\tb", {"a", "b"}},
        {R"("x &;| y)", {"x &;| y"}},
        {"a b  \t ", {"a", "b"}},
        {"   a", {"a"}},
        {"", {}},
        {" \t ", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitArguments(c.text), c.expected) << "text: " << c.text;
}

TEST(CommandLineSplitter, TheProgramNameKeepsItsBackslashesAndEndsAtTheNextQuote) {
    const Case cases[] = {
        {R"("C:\Program Files\x.exe" /p a\"b)", {R"(C:\Program Files\x.exe)", "/p", R"(a"b)"}},
        {R"(prog\"x y)", {R"(prog\"x)", "y"}},
        {R"(  prog a)", {"prog", "a"}},
        // The quoted name ends at its closing quote even without a blank after it.
        {R"("prog"x y)", {"prog", "x", "y"}},
        {R"("/opt/my tools/setup")", {"/opt/my tools/setup"}},
        {R"("unterminated name)", {"unterminated name"}},
        {R"(Msiexec.exe /p /tmp/u.msp REINSTALLMODE=vomus ADDLOCAL=Core)",
         {"Msiexec.exe", "/p", "/tmp/u.msp", "REINSTALLMODE=vomus", "ADDLOCAL=Core"}},
        {"", {}},
        {"  \t", {}},
        {"prog   ", {"prog"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitCommandLine(c.text), c.expected) << "text: " << c.text;
}

} // namespace
} // namespace KDAutoUpdate
