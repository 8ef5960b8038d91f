// The random bot's seed: the same seed plays the same game, another seed another one.

#include "child_process.h"
#include "grid_board.h"
#include "sample_bots.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono_literals;

// The bot's moves (as a string of columns) in a game where it moves first and the opponent always
// answers in the leftmost free column, until the board is full or someone has four.
std::string GameWithSeed(const std::string& seed) {
    ChildProcess bot(sample_bots::Random({"--seed", seed}));
    EXPECT_TRUE(bot.Started());
    EXPECT_EQ(bot.ReadLine(10s), std::optional<std::string>(sample_bots::kReady));
    EXPECT_TRUE(bot.Write("1\r\n"));
    GridBoard board;
    std::string moves;
    while (!board.Full()) {
        const std::optional<std::string> line = bot.ReadLine(10s);
        if (!line || line->size() != 1 || !board.CanPlay((*line)[0] - '0')) {
            ADD_FAILURE() << "not a legal move: \"" << line.value_or("") << "\"\n" << board.Rows();
            break;
        }
        moves += *line;
        board.Play((*line)[0] - '0');
        if (board.HasFour(1) || board.Full()) {
            break;
        }
        int column = 1;
        while (!board.CanPlay(column)) {
            ++column;
        }
        board.Play(column);
        if (board.HasFour(2)) {
            break;
        }
        EXPECT_TRUE(bot.Write(std::to_string(column) + "\r\n"));
    }
    bot.CloseInput();
    EXPECT_EQ(bot.Wait(10s), std::optional<int>(0));
    return moves;
}

TEST(RandomBotTest, SameSeedPlaysTheSameGame) {
    const std::string first = GameWithSeed("11");
    EXPECT_GE(first.size(), 3u);
    EXPECT_EQ(GameWithSeed("11"), first);
}

TEST(RandomBotTest, OtherSeedsPlayOtherGames) {
    const std::string a = GameWithSeed("11");
    const std::string b = GameWithSeed("12");
    const std::string c = GameWithSeed("13");
    EXPECT_FALSE(a == b && b == c) << a;
}

TEST(RandomBotTest, RejectsAMalformedSeed) {
    ChildProcess bot(sample_bots::Random({"--seed", "x1"}));
    EXPECT_TRUE(sample_bots::RefusedWithUsage(bot));
}

}  // namespace
