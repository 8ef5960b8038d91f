// The strong bot as a process, run with its default time budget.

#include "child_process.h"
#include "grid_board.h"
#include "sample_bots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Reads the first chunk after the bot was asked to move; fails unless it holds exactly one move
// line and came within a second of the request.
std::string AnswerWithinASecond(ChildProcess& bot, Clock::time_point asked) {
    const std::optional<std::string> chunk = bot.ReadChunk(1000ms);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked);
    EXPECT_TRUE(chunk.has_value());
    EXPECT_LT(elapsed, 1000ms) << "answered after " << elapsed.count() << " ms";
    return chunk.value_or("");
}

TEST(StrongBotTest, AnswersWithinASecondAsOneChunk) {
    ChildProcess bot(sample_bots::Strong());
    ASSERT_TRUE(bot.Started());
    ASSERT_EQ(bot.ReadLine(10s), std::optional<std::string>(sample_bots::kReady));

    // The opening: the centre.
    ASSERT_TRUE(bot.Write("1\r\n"));
    EXPECT_EQ(AnswerWithinASecond(bot, Clock::now()), "4\n");

    // A searched move: the opponent stacks on the centre; a free column comes back.
    ASSERT_TRUE(bot.Write("4\r\n"));
    const std::string answer = AnswerWithinASecond(bot, Clock::now());
    ASSERT_EQ(answer.size(), 2u) << "\"" << answer << "\"";
    EXPECT_TRUE(answer[0] >= '1' && answer[0] <= '7') << answer;
    EXPECT_EQ(answer[1], '\n');

    bot.CloseInput();
    EXPECT_EQ(bot.ReadToEnd(10s), std::optional<std::string>(""));
    EXPECT_EQ(bot.Wait(10s), std::optional<int>(0));
}

// Columns where the player to move would complete four right now.
std::vector<int> WinningColumns(const GridBoard& board, int player) {
    std::vector<int> columns;
    for (int column = 1; column <= 7; ++column) {
        if (board.CanPlay(column) &&
            board.WouldComplete(column, board.Height(column) + 1, player)) {
            columns.push_back(column);
        }
    }
    return columns;
}

// A naive opponent that fills columns from the left makes threats of its own quickly; at every
// answer the bot must take a win it has, and otherwise block the one the opponent has.
TEST(StrongBotTest, TakesAnImmediateWinAndBlocksAnImmediateLoss) {
    for (const bool botFirst : {true, false}) {
        SCOPED_TRACE(botFirst ? "bot first" : "bot second");
        ChildProcess bot(sample_bots::Strong({"--time-ms", "30"}));
        ASSERT_TRUE(bot.Started());
        ASSERT_EQ(bot.ReadLine(10s), std::optional<std::string>(sample_bots::kReady));
        ASSERT_TRUE(bot.Write(botFirst ? "1\r\n" : "2\r\n"));
        const int botPlayer = botFirst ? 1 : 2;
        GridBoard board;
        int checked = 0;
        while (!board.Full()) {
            const int mover = board.PlayerToMove();
            if (mover == botPlayer) {
                const std::vector<int> wins = WinningColumns(board, mover);
                const std::vector<int> threats = WinningColumns(board, 3 - mover);
                const std::optional<std::string> line = bot.ReadLine(10s);
                ASSERT_TRUE(line.has_value());
                ASSERT_EQ(line->size(), 1u) << *line;
                const int column = (*line)[0] - '0';
                ASSERT_TRUE(board.CanPlay(column)) << board.Rows() << column;
                if (!wins.empty()) {
                    EXPECT_NE(std::find(wins.begin(), wins.end(), column), wins.end())
                        << "missed its win:\n"
                        << board.Rows() << "played " << column;
                    ++checked;
                } else if (threats.size() == 1) {
                    EXPECT_EQ(column, threats.front()) << "did not block:\n" << board.Rows();
                    ++checked;
                }
                board.Play(column);
            } else {
                int column = 1;
                while (!board.CanPlay(column)) {
                    ++column;
                }
                board.Play(column);
                ASSERT_TRUE(bot.Write(std::to_string(column) + "\r\n"));
            }
            if (board.HasFour(mover)) {
                EXPECT_EQ(mover, botPlayer) << board.Rows();
                break;
            }
        }
        EXPECT_GT(checked, 0) << "the game never put a win or a block to the test";
        bot.CloseInput();
        EXPECT_EQ(bot.Wait(10s), std::optional<int>(0));
    }
}

TEST(StrongBotTest, RejectsUnknownArguments) {
    for (const auto& args :
         {std::vector<std::string>{"--bogus"}, std::vector<std::string>{"--time-ms"},
          std::vector<std::string>{"--time-ms", "fast"},
          std::vector<std::string>{"--time-ms", "-5"}}) {
        ChildProcess bot(sample_bots::Strong(args));
        EXPECT_TRUE(sample_bots::RefusedWithUsage(bot));
    }
}

}  // namespace
