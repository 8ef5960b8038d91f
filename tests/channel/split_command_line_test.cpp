#include "channel/split_command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string line;
    std::optional<Words> words;  // nullopt: the line does not split
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsLikeAPosixShell) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(SplitCommandLine(c.line), c.words) << "line: [" << c.line << "]";
}

const SplitCase kCases[] = {
    {"Empty", "", Words{}},
    {"OnlyBlanks", " \t\n ", Words{}},
    {"OneWord", "bot", Words{"bot"}},
    {"BlanksSeparateAndCollapse", "  ./bot \t -x\n  y  ", Words{"./bot", "-x", "y"}},
    {"SingleQuotesKeepBlanks", "'/opt/my bots/bot' 'a  b'", Words{"/opt/my bots/bot", "a  b"}},
    {"SingleQuotesKeepBackslashAndDollar", R"('a\b $HOME "q"')", Words{R"(a\b $HOME "q")"}},
    {"DoubleQuotesKeepBlanks", R"("/opt/my bots/bot" x)", Words{"/opt/my bots/bot", "x"}},
    {"DoubleQuotesEscapeOnlyFive", R"("\$ \` \" \\ \a")", Words{R"($ ` " \ \a)"}},
    {"DoubleQuotesJoinEscapedNewline", "\"a\\\nb\"", Words{"ab"}},
    {"DoubleQuotesKeepSingleQuote", R"("it's")", Words{"it's"}},
    {"SingleQuotesKeepDoubleQuote", R"('say "hi"')", Words{R"(say "hi")"}},
    {"BackslashEscapesBlank", R"(my\ bot arg)", Words{"my bot", "arg"}},
    {"BackslashEscapesQuote", R"(it\'s \"x\")", Words{"it's", R"("x")"}},
    {"BackslashEscapesBackslash", R"(a\\b)", Words{R"(a\b)"}},
    {"BackslashNewlineJoinsLines", "ab\\\ncd", Words{"abcd"}},
    {"TrailingBackslashStays", R"(bot a\)", Words{"bot", R"(a\)"}},
    {"QuotesGlueToNeighbours", R"(a"b c"'d e'f)", Words{"ab cd ef"}},
    {"EmptyQuotesMakeEmptyWords", R"(bot '' "" x)", Words{"bot", "", "", "x"}},
    {"EmptyQuotesInsideWordVanish", R"(a''b"")", Words{"ab"}},
    {"NoExpansionOrSubstitution", R"($HOME $(id) `id` ~ *.txt)",
     Words{"$HOME", "$(id)", "`id`", "~", "*.txt"}},
    {"OperatorsArePlainCharacters", "bot;rm -rf x|y&&z>out<in #c",
     Words{"bot;rm", "-rf", "x|y&&z>out<in", "#c"}},
    {"NonAsciiBytesPassThrough", "b\xc3\xb6t \xff", Words{"b\xc3\xb6t", "\xff"}},
    {"UnclosedSingleQuote", "bot 'abc", std::nullopt},
    {"UnclosedDoubleQuote", R"(bot "abc)", std::nullopt},
    {"EscapedClosingDoubleQuoteLeavesItOpen", R"("abc\")", std::nullopt},
    {"LoneSingleQuote", "'", std::nullopt},
    {"DoubleQuoteInsideSingleDoesNotClose", R"('a" b)", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Table, SplitCommandLineTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SplitCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
