#include "match/match_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

GameRecord Game(int number, GameRecord::Outcome outcome) {
    GameRecord record;
    record.number = number;
    record.firstMover = number % 2 == 1 ? 1 : 2;
    record.outcome = outcome;
    return record;
}

std::vector<GameRecord> Games(int wins, int draws, int losses) {
    std::vector<GameRecord> records;
    for (int i = 0; i < wins; ++i) {
        records.push_back(
            Game(static_cast<int>(records.size()) + 1, GameRecord::Outcome::Player1Wins));
    }
    for (int i = 0; i < draws; ++i) {
        records.push_back(Game(static_cast<int>(records.size()) + 1, GameRecord::Outcome::Draw));
    }
    for (int i = 0; i < losses; ++i) {
        records.push_back(
            Game(static_cast<int>(records.size()) + 1, GameRecord::Outcome::Player2Wins));
    }
    return records;
}

TEST(MatchReportLabelTest, DropsTheDirectoryAndShortens) {
    EXPECT_EQ(MatchReport::Label("/usr/local/bin/mybot --depth 4"), "mybot --depth 4");
    EXPECT_EQ(MatchReport::Label("'/my bots/a b' x"), "a b x");
    EXPECT_EQ(MatchReport::Label("python3 /home/me/bots/a_very_long_bot_name.py --level 9"),
              "python3 /home/me/bots/a_very_...");
    EXPECT_EQ(MatchReport::Label("python3 /home/me/bots/a_very_long_bot_name.py --level 9").size(),
              MatchReport::kLabelMax);
    EXPECT_EQ(MatchReport::Label("bot 'unclosed"), "bot 'unclosed");
}

TEST(MatchReportLineTest, DescribesEachGameAndRestart) {
    GameRecord record = Game(3, GameRecord::Outcome::Player2Wins);
    record.moves = "1212121";
    record.reason = "player 2 has four in a line";
    EXPECT_EQ(MatchReport::GameLine(record, 10),
              "game 3/10: 0-1, player 2 has four in a line (player 1 first, 7 moves)");
    record.moves = "4";
    EXPECT_EQ(MatchReport::GameLine(record, 10),
              "game 3/10: 0-1, player 2 has four in a line (player 1 first, 1 move)");
    EXPECT_EQ(MatchReport::RestartLine(2, 4, 10, true),
              "game 4/10: player 2 had ended and was started again");
    EXPECT_EQ(MatchReport::RestartLine(1, 4, 10, false),
              "game 4/10: player 1 had ended and could not be started again");
}

TEST(MatchReportTableTest, CountsBothSidesAndEstimatesTheDifference) {
    std::vector<GameRecord> records = Games(6, 1, 3);
    // Player 1 moves first in game 1 and second in game 2: its times are 10, 30, 7 and 1000 (an
    // even count: the median is the middle pair's mean, 20); player 2's are 20, 5 and 9.
    records[0].moves = "444";
    records[0].moveMs = {10, 20, 30};
    records[1].moves = "4444";
    records[1].moveMs = {5, 7, 9, 1000};
    EXPECT_EQ(MatchReport::Table(records, {"alpha", "beta --fast"}),
              "player  bot          games  wins  draws  losses    score  median ms  max ms\n"
              "1       alpha           10     6      1       3      6.5       20.0    1000\n"
              "2       beta --fast     10     3      1       6      3.5        9.0      20\n"
              "Elo difference (player 1 - player 2): +107.5 \u00b1 269.1 (95 %)\n");
}

TEST(MatchReportTableTest, SaysWhenTheScoreWasClamped) {
    EXPECT_EQ(MatchReport::Table(Games(0, 0, 4), {"a", "b"}),
              "player  bot  games  wins  draws  losses    score  median ms  max ms\n"
              "1       a        4     0      0       4      0.0          -       -\n"
              "2       b        4     4      0       0      4.0          -       -\n"
              "Elo difference (player 1 - player 2): -338.0 \u00b1 72.4 (95 %); one side won every "
              "game, so the score was clamped to 0.5 of 4 and the difference is only a bound\n");
}

TEST(MatchReportTableTest, NoGames) {
    EXPECT_EQ(MatchReport::Table({}, {"a", "b"}),
              "player  bot  games  wins  draws  losses    score  median ms  max ms\n"
              "1       a        0     0      0       0      0.0          -       -\n"
              "2       b        0     0      0       0      0.0          -       -\n"
              "Elo difference (player 1 - player 2): none, no games were played\n");
}

}  // namespace
