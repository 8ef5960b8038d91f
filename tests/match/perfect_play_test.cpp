// The perfect bot as a real process against the strong and the random bot, refereed by
// fourfall-match --audit: it never does worse than the value of the position it was given, and
// its every logged move keeps the best score; fourfall-report --show marks the blunders the
// audit counted.

#include "match/audit_report.h"
#include "match/match_log.h"
#include "solver/solver.h"
#include "tests/match/runner_process.h"
#include "tests/match/scripted_bot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

// `count` openings of `discs` discs of random play that nobody has won and in which the side to
// move cannot win at once.
std::vector<std::string> RandomOpenings(int count, int discs) {
    std::mt19937 random(11);
    std::vector<std::string> openings;
    while (static_cast<int>(openings.size()) < count) {
        BitboardPosition position;
        std::string moves;
        while (static_cast<int>(moves.size()) < discs) {
            const int column = std::uniform_int_distribution<int>(1, 7)(random);
            if (!position.CanPlay(column) || position.IsWinningMove(column)) {
                continue;
            }
            position.Play(column);
            moves += static_cast<char>('0' + column);
        }
        if (!position.CanWinNext() && position.NonLosingMoves() != 0) {
            openings.push_back(moves);
        }
    }
    return openings;
}

// The points of the bot of slot `slot` in `record`: 1, 0.5 or 0.
double PointsOf(const GameRecord& record, int slot) {
    switch (record.outcome) {
        case GameRecord::Outcome::Player1Wins:
            return slot == 1 ? 1.0 : 0.0;
        case GameRecord::Outcome::Player2Wins:
            return slot == 2 ? 1.0 : 0.0;
        case GameRecord::Outcome::Draw:
            return 0.5;
    }
    return 0.0;
}

// The perfect bot's options and its opponent's command.
class PerfectPlayTest : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(PerfectPlayTest, NeverDoesWorseThanItsPositionAndNeverBlunders) {
    TempDir temp;
    const std::string dir = temp.Path();
    const std::vector<std::string> openings = RandomOpenings(5, 12);
    {
        std::ofstream file(dir + "/openings.txt");
        for (const std::string& opening : openings) {
            file << opening << "\n";
        }
    }
    RunnerProcess runner(dir, {"--games", "10", "--openings", "openings.txt", "--audit", "--book",
                               FOURFALL_BOOK_PATH, "--log", "log.txt", "--concurrency", "2",
                               std::string(FOURFALL_PERFECT_BOT_PATH) + " " + GetParam().first +
                                   " --book " + FOURFALL_BOOK_PATH,
                               GetParam().second});
    ASSERT_EQ(runner.Wait(300s), 0) << runner.Stderr();

    std::string error;
    const std::optional<MatchLog::Contents> log = MatchLog::Read(dir + "/log.txt", false, error);
    ASSERT_TRUE(log) << error;
    ASSERT_EQ(log->records.size(), 10u);
    Solver solver;
    for (const GameRecord& record : log->records) {
        // The perfect bot is player 1; its value at the start of the moves is that of the side
        // to move when it moves first.
        ASSERT_EQ(record.scores.size(), record.moves.size() + 1) << record.number;
        const int value = record.FirstToPlay() == 1 ? record.scores[0] : -record.scores[0];
        const double points = PointsOf(record, 1);
        if (value > 0) {
            EXPECT_EQ(points, 1.0) << record.ToJson();
        } else if (value == 0) {
            EXPECT_GE(points, 0.5) << record.ToJson();
        }
        // The logged start value is the solver's.
        EXPECT_EQ(record.scores[0],
                  solver.Solve(BitboardPosition::FromMoves(record.opening).value()));
    }
    const std::vector<AuditReport::Tally> tallies = AuditReport::Count(log->records, 2);
    EXPECT_GE(tallies[0].moves, 20);
    EXPECT_EQ(tallies[0].best, tallies[0].moves);
    EXPECT_EQ(tallies[0].blunders, 0);

    // The move-by-move view of every game marks exactly the audit's blunders.
    int marked = 0;
    for (const GameRecord& record : log->records) {
        RunnerProcess show(dir, {"--show", std::to_string(record.number), "log.txt"},
                           FOURFALL_REPORT_PATH);
        ASSERT_EQ(show.Wait(60s), 0) << show.Stderr();
        const std::string text = show.Stdout();
        for (std::size_t at = 0; (at = text.find("BLUNDER", at)) != std::string::npos; ++at) {
            ++marked;
        }
        EXPECT_NE(text.find("move " + std::to_string(record.moves.size()) + ": "),
                  std::string::npos);
    }
    EXPECT_EQ(marked, tallies[1].blunders);
}

// From the empty board the first mover wins with perfect play: the perfect bot, moving first,
// wins against the strong bot with every move of the best score, its long searches shared by two
// threads. The first moves beyond the book take up to a second, several times that under a
// sanitizer: the move time is generous.
TEST(PerfectPlayFromTheStartTest, WinsAsFirstMoverWithEveryMoveTheBest) {
    TempDir temp;
    RunnerProcess runner(temp.Path(), {"--games", "1", "--audit", "--book", FOURFALL_BOOK_PATH,
                                       "--move-time", "120s", "--log", "log.txt",
                                       std::string(FOURFALL_PERFECT_BOT_PATH) +
                                           " --threads 2 --book " + FOURFALL_BOOK_PATH,
                                       std::string(FOURFALL_STRONG_BOT_PATH) + " --time-ms 50"});
    ASSERT_EQ(runner.Wait(280s), 0) << runner.Stderr();
    std::string error;
    const std::optional<MatchLog::Contents> log =
        MatchLog::Read(temp.Path() + "/log.txt", false, error);
    ASSERT_TRUE(log) << error;
    ASSERT_EQ(log->records.size(), 1u);
    EXPECT_EQ(log->records[0].ResultText(), "1-0") << log->records[0].ToJson();
    EXPECT_EQ(log->records[0].scores[0], 1);
    const std::vector<AuditReport::Tally> tallies = AuditReport::Count(log->records, 2);
    EXPECT_EQ(tallies[0].best, tallies[0].moves);
}

// Long searches shared by two threads against the strong bot; choosing at random among its best
// moves against the random bot.
INSTANTIATE_TEST_SUITE_P(Opponents, PerfectPlayTest,
                         ::testing::Values(std::make_pair(std::string("--threads 2"),
                                                          std::string(FOURFALL_STRONG_BOT_PATH) +
                                                              " --time-ms 50"),
                                           std::make_pair(std::string("--seed 5"),
                                                          std::string(FOURFALL_RANDOM_BOT_PATH))));

}  // namespace
