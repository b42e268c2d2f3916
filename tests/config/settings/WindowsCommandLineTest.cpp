#include "config/settings/WindowsCommandLine.h"

#include <gtest/gtest.h>

namespace veltrona::config {
namespace {

TEST(WindowsCommandLine, SplitsByTheCRuntimeRules) {
    using Args = std::vector<std::string>;
    const struct {
        const char* name;
        const char* line;
        Args arguments;
    } cases[] = {
        {"Empty", "", {}},
        {"OnlyBlanksAndTabs", " \t  ", {}},
        {"BlanksAndTabsSeparate", "  a b\t\tc  ", {"a", "b", "c"}},
        {"NewlineIsNoSeparator", "a\nb", {"a\nb"}},
        {"QuotedBlanks", "\"a b\" c", {"a b", "c"}},
        {"QuotesInsideArgument", "a\"b c\"d", {"ab cd"}},
        {"EvenBackslashesThenQuote", "a\\\\\"b c\" d", {"a\\b c", "d"}},
        {"TrailingBackslashInQuotes", "\"C:\\srv dir\\\\\" -v", {"C:\\srv dir\\", "-v"}},
        {"OddBackslashesEscapeQuote", "a\\\"b", {"a\"b"}},
        {"ThreeBackslashesThenQuote", "a\\\\\\\"b", {"a\\\"b"}},
        {"FourBackslashesThenQuote", "a\\\\\\\\\"b c\"", {"a\\\\b c"}},
        {"BackslashesWithoutQuoteLiteral", "C:\\a\\\\b\\", {"C:\\a\\\\b\\"}},
        {"EscapedQuoteInsideQuotes", "\"a \\\" b\"", {"a \" b"}},
        {"EmptyQuotesAlone", "\"\"", {""}},
        {"TwoEmptyArguments", "\"\" \"\"", {"", ""}},
        {"EmptyBetween", "a \"\" b", {"a", "", "b"}},
        {"DoubledQuoteInsideQuotes", "\"a\"\"b\"", {"a\"b"}},
        {"DoubledQuoteKeepsQuoting", "\"a\"\"b c\"", {"a\"b c"}},
        {"QuoteAfterDoubledQuote", "\"a\"\"\"", {"a\""}},
        {"FourQuotes", "\"\"\"\"", {"\""}},
        {"UnterminatedQuote", "\"unterminated arg", {"unterminated arg"}},
        {"UnterminatedEndsInBackslash", "\"dir\\", {"dir\\"}},
        {"BackslashPairThenOpeningQuote", "\\\\\"", {"\\"}},
        {"ShellSyntaxIsPlainText",
         "; touch /tmp/x $(id) `id` |",
         {";", "touch", "/tmp/x", "$(id)", "`id`", "|"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitWindowsArguments(c.line), c.arguments) << c.name << ": " << c.line;
    }
}

}  // namespace
}  // namespace veltrona::config
