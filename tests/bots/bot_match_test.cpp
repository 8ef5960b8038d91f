// The strong bot against the random bot, both as processes, refereed by a tiny moderator written
// here: pipes and a board of its own, lines written in the moderator's order (player 1 first,
// CR LF line ends, results announced twice as at two presses of Go, Reset's "0" to both), the
// first mover alternating from game to game. Every move is checked for legality.
//
// FOURFALL_MATCH_GAMES and FOURFALL_MATCH_TIME_MS change the number of games (default 4) and the
// strong bot's time per move (default 40), e.g. to play the 20 games at full strength by hand.

#include "child_process.h"
#include "grid_board.h"
#include "sample_bots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

namespace {

using namespace std::chrono_literals;

int EnvOr(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : fallback;
}

struct Player {
    std::string name;
    std::unique_ptr<ChildProcess> process;
    std::chrono::milliseconds slowest{0};  // the longest wait for one of its moves
};

// Reads one move line from `player` and checks it against the board.
int TakeMove(Player& player, const GridBoard& board) {
    const auto asked = std::chrono::steady_clock::now();
    const std::optional<std::string> line = player.process->ReadLine(10s);
    player.slowest = std::max(player.slowest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - asked));
    if (!line || line->size() != 1 || !board.CanPlay((*line)[0] - '0')) {
        ADD_FAILURE() << player.name << " wrote \"" << line.value_or("(nothing)")
                      << "\" as its move on\n"
                      << board.Rows();
        return 0;
    }
    return (*line)[0] - '0';
}

void ToBoth(Player (&players)[2], const std::string& line) {
    for (Player& player : players) {
        EXPECT_TRUE(player.process->Write(line + "\r\n")) << player.name;
    }
}

TEST(BotMatchTest, StrongBotBeatsRandomBotInEveryGame) {
    const int games = EnvOr("FOURFALL_MATCH_GAMES", 4);
    const std::string budget = std::to_string(EnvOr("FOURFALL_MATCH_TIME_MS", 40));
    Player players[2] = {
        {"strong bot", std::make_unique<ChildProcess>(sample_bots::Strong({"--time-ms", budget}))},
        {"random bot", std::make_unique<ChildProcess>(sample_bots::Random({"--seed", "2024"}))},
    };
    for (Player& player : players) {
        ASSERT_TRUE(player.process->Started()) << player.name;
        ASSERT_EQ(player.process->ReadLine(10s), std::optional<std::string>(sample_bots::kReady)) << player.name;
    }

    int strongWins = 0;
    int totalMoves = 0;
    for (int game = 0; game < games; ++game) {
        SCOPED_TRACE("game " + std::to_string(game + 1));
        const int first = game % 2;  // slot that moves first: 0 is player 1, the strong bot
        EXPECT_TRUE(players[0].process->Write(first == 0 ? "1\r\n" : "2\r\n"));
        EXPECT_TRUE(players[1].process->Write(first == 1 ? "1\r\n" : "2\r\n"));

        GridBoard board;
        int slot = first;
        int winnerSlot = -1;
        int loserAnswers = 0;
        while (!board.Full()) {
            const int column = TakeMove(players[slot], board);
            if (column == 0) {
                return;
            }
            const int disc = board.PlayerToMove();
            board.Play(column);
            ++totalMoves;
            EXPECT_TRUE(players[1 - slot].process->Write(std::to_string(column) + "\r\n"));
            if (board.HasFour(disc)) {
                winnerSlot = slot;
                // The loser reads the relayed move before the result, and answers it.
                loserAnswers = board.Full() ? 0 : 1;
                break;
            }
            slot = 1 - slot;
        }
        const std::string result = winnerSlot < 0 ? "-3" : "-" + std::to_string(winnerSlot + 1);
        ToBoth(players, result);
        ToBoth(players, result);
        ToBoth(players, "0");
        for (int s = 0; s < 2; ++s) {
            if (s != winnerSlot && loserAnswers > 0) {
                TakeMove(players[s], board);
            }
            EXPECT_EQ(players[s].process->ReadLine(10s), std::optional<std::string>(sample_bots::kReady))
                << players[s].name << " is not ready after the Reset";
        }
        if (winnerSlot == 0) {
            ++strongWins;
        } else {
            ADD_FAILURE() << (winnerSlot < 0 ? "tie" : "the random bot won") << ":\n"
                          << board.Rows();
        }
    }
    std::cout << "strong bot won " << strongWins << " of " << games << " games (" << totalMoves
              << " moves, budget " << budget << " ms per strong move, slowest answer "
              << players[0].slowest.count() << " ms)\n";

    for (Player& player : players) {
        player.process->CloseInput();
        EXPECT_EQ(player.process->ReadToEnd(10s), std::optional<std::string>("")) << player.name;
        EXPECT_EQ(player.process->Wait(10s), std::optional<int>(0)) << player.name;
    }
}

}  // namespace
