#include "match/match_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

TEST(MatchOptionsTest, DefaultsWithTwoCommands) {
    std::string error;
    const std::optional<MatchOptions> options = MatchOptions::Parse({"./a --x", "b"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->commands[0], "./a --x");
    EXPECT_EQ(options->commands[1], "b");
    EXPECT_EQ(options->games, 10);
    EXPECT_EQ(options->moveTime, 5s);
    EXPECT_EQ(options->startTime, 10s);
    EXPECT_FALSE(options->quiet);
    EXPECT_EQ(options->logPath, "");
    EXPECT_EQ(options->concurrency, 1);
    EXPECT_FALSE(options->resume);
    EXPECT_FALSE(options->help);
    EXPECT_EQ(options->names, (std::vector<std::string>{"a --x", "b"}));
}

TEST(MatchOptionsTest, NamesTheBotsFromTheOptionsThenFromTheirCommandLines) {
    std::string error;
    const std::optional<MatchOptions> options = MatchOptions::Parse(
        {"--name", "alice", "/x/bot", "/y/bot", "/z/other", "--format=gauntlet", "--games", "4"},
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->names, (std::vector<std::string>{"alice", "bot", "other"}));
    EXPECT_EQ(options->format, MatchSchedule::Format::Gauntlet);
    const std::optional<MatchOptions> same = MatchOptions::Parse({"/x/bot", "/y/bot"}, error);
    ASSERT_TRUE(same) << error;
    EXPECT_EQ(same->names, (std::vector<std::string>{"bot", "bot #2"}));
    const std::optional<MatchOptions> sharded =
        MatchOptions::Parse({"a", "b", "--shard", "2/3", "--sprt=-5,5,0.1,0.2"}, error);
    EXPECT_FALSE(sharded);
    const std::optional<MatchOptions> tested =
        MatchOptions::Parse({"a", "b", "--sprt=-5,5,0.1,0.2"}, error);
    ASSERT_TRUE(tested) << error;
    EXPECT_EQ(tested->sprt->elo0, -5);
    EXPECT_EQ(tested->sprt->beta, 0.2);
}

TEST(MatchOptionsTest, ReadsEveryOptionInBothForms) {
    std::string error;
    const std::optional<MatchOptions> options =
        MatchOptions::Parse({"--games", "200", "a", "--move-time=250ms", "--start-time", "1.5",
                             "--quiet", "--log=m.jsonl", "--concurrency", "3", "b", "--resume"},
                            error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->commands[0], "a");
    EXPECT_EQ(options->commands[1], "b");
    EXPECT_EQ(options->games, 200);
    EXPECT_EQ(options->moveTime, 250ms);
    EXPECT_EQ(options->startTime, 1500ms);
    EXPECT_TRUE(options->quiet);
    EXPECT_EQ(options->logPath, "m.jsonl");
    EXPECT_EQ(options->concurrency, 3);
    EXPECT_TRUE(options->resume);
}

TEST(MatchOptionsTest, DoubleDashEndsTheOptions) {
    std::string error;
    const std::optional<MatchOptions> options = MatchOptions::Parse({"--", "--games", "b"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->commands[0], "--games");
}

TEST(MatchOptionsTest, HelpAndVersionWinOverEverythingElse) {
    for (const Args& args : {Args{"--bogus", "-h"}, Args{"--help", "--games=0"}}) {
        std::string error;
        const std::optional<MatchOptions> help = MatchOptions::Parse(args, error);
        ASSERT_TRUE(help) << error;
        EXPECT_TRUE(help->help);
    }
    std::string error;
    const std::optional<MatchOptions> version = MatchOptions::Parse({"--version"}, error);
    ASSERT_TRUE(version) << error;
    EXPECT_TRUE(version->version);
}

TEST(MatchOptionsTest, UsageListsEveryOptionWithItsDefault) {
    const std::string usage = MatchOptions::Usage();
    EXPECT_EQ(usage.rfind("usage: fourfall-match [options] COMMAND1 COMMAND2 [COMMAND3...]\n", 0),
              0u);
    for (const char* option :
         {"--games N=10", "--move-time T=5s", "--start-time T=10s", "--concurrency N=1",
          "--log FILE", "--resume", "--quiet", "--version", "--help"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

struct BadCase {
    const char* name;
    Args args;
    std::string error;
};

// Names the case in gtest's messages instead of dumping its bytes.
void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

class MatchOptionsErrorTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(MatchOptionsErrorTest, RejectsWithOneLine) {
    std::string error;
    EXPECT_FALSE(MatchOptions::Parse(GetParam().args, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, MatchOptionsErrorTest,
    ::testing::Values(
        BadCase{"NoCommands", {}, "at least two bot command lines are needed"},
        BadCase{"OneCommand", {"a"}, "at least two bot command lines are needed"},
        BadCase{"BlankCommand", {"a", " \t"}, "the command line of bot 2 is empty"},
        BadCase{"OddGamesOfThreeBots",
                {"a", "b", "c", "--games", "3"},
                "--games must be even with three bots or more: each pairing plays its games in "
                "pairs, the first mover swapped"},
        BadCase{"UnknownFormat",
                {"a", "b", "c", "--format", "swiss"},
                "--format needs round-robin or gauntlet, not \"swiss\""},
        BadCase{"SameName", {"a", "b", "--name", "x", "--name", "x"}, "two bots are named \"x\""},
        BadCase{"SprtOfThreeBots",
                {"a", "b", "c", "--sprt", "0,5"},
                "--sprt tests two bots on pairs of games: it needs two bots and an even --games"},
        BadCase{"SprtWithEqualElos",
                {"a", "b", "--sprt", "5,5"},
                "--sprt needs ELO0,ELO1 with ELO0 < ELO1, and error rates between 0 and 0.5 if "
                "given, not \"5,5\""},
        BadCase{"ShardBeyondItsCount",
                {"a", "b", "--shard", "3/2"},
                "--shard needs K/N with 1 <= K <= N, not \"3/2\""},
        BadCase{"UnknownOption", {"--fast", "a", "b"}, "unknown option --fast"},
        BadCase{"MissingValue", {"a", "b", "--games"}, "option --games needs a value"},
        BadCase{"ZeroGames",
                {"--games", "0", "a", "b"},
                "--games needs a whole number from 1 to 1000000, not \"0\""},
        BadCase{"GamesNotANumber",
                {"--games=ten", "a", "b"},
                "--games needs a whole number from 1 to 1000000, not \"ten\""},
        BadCase{"NegativeTime",
                {"--move-time", "-1", "a", "b"},
                "--move-time needs a time such as 5, 0.5s or 500ms (at most a day), not \"-1\""},
        BadCase{"EmptyLog", {"--log=", "a", "b"}, "--log needs a file name"},
        BadCase{"NoConcurrency",
                {"--concurrency", "0", "a", "b"},
                "--concurrency needs a whole number from 1 to 256, not \"0\""},
        BadCase{"ResumeWithoutLog",
                {"--resume", "a", "b"},
                "--resume needs the --log of the run to resume"}),
    [](const ::testing::TestParamInfo<BadCase>& param) { return param.param.name; });

TEST(MatchOptionsDurationTest, ReadsSecondsAndMilliseconds) {
    EXPECT_EQ(MatchOptions::ParseDuration("5"), 5s);
    EXPECT_EQ(MatchOptions::ParseDuration("5s"), 5s);
    EXPECT_EQ(MatchOptions::ParseDuration("0.25"), 250ms);
    EXPECT_EQ(MatchOptions::ParseDuration("250ms"), 250ms);
    EXPECT_EQ(MatchOptions::ParseDuration("0.0004"), std::nullopt);
    EXPECT_EQ(MatchOptions::ParseDuration("0"), std::nullopt);
    EXPECT_EQ(MatchOptions::ParseDuration("86400"), 86400s);
    EXPECT_EQ(MatchOptions::ParseDuration("86401"), std::nullopt);
    for (const char* bad :
         {"", "s", "ms", "-5", "+5", " 5", "5 s", "1e3", "inf", "nan", "5m", ".5", "5."}) {
        EXPECT_EQ(MatchOptions::ParseDuration(bad), std::nullopt) << bad;
    }
}

TEST(MatchOptionsDurationTest, WritesDurationsForMessages) {
    EXPECT_EQ(MatchOptions::DurationText(5s), "5 s");
    EXPECT_EQ(MatchOptions::DurationText(250ms), "250 ms");
    EXPECT_EQ(MatchOptions::DurationText(1500ms), "1.5 s");
    EXPECT_EQ(MatchOptions::DurationText(1005ms), "1.005 s");
}

}  // namespace
