#include "channel/split_command_line.h"

#include <gtest/gtest.h>

#include <random>

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

// Any words, quoted one by one and joined with blanks, split back into the same words: what the
// runner relies on when it puts a launcher and a sandbox in front of a bot's command line.
TEST(QuoteCommandWordTest, SplitsBackIntoTheSameWords) {
    std::mt19937 random(11);
    const std::string alphabet = "ab /'\"\\$`~*#;|&\t\n=-.";
    for (int round = 0; round < 500; ++round) {
        std::vector<std::string> words(std::uniform_int_distribution<std::size_t>(1, 5)(random));
        std::string line;
        for (std::string& word : words) {
            for (std::size_t i = std::uniform_int_distribution<std::size_t>(0, 6)(random); i > 0;
                 --i) {
                word += alphabet[std::uniform_int_distribution<std::size_t>(
                    0, alphabet.size() - 1)(random)];
            }
            line += (line.empty() ? "" : " ") + QuoteCommandWord(word);
        }
        ASSERT_EQ(SplitCommandLine(line), std::optional(words)) << line;
    }
    EXPECT_EQ(QuoteCommandWord("/usr/bin/bot"), "/usr/bin/bot");
}

}  // namespace
