// The solver against an independent slow oracle: plain minimax to the end on the tests' own grid
// board (tests/bots/grid_board.h), with the same scores, over positions of random games late
// enough for the oracle; and fourfall-solve as a program.

#include "solver/solver.h"
#include "tests/bots/grid_board.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The score of `board` for the side to move by trying every continuation.
int Minimax(GridBoard& board) {
    const int moves = board.MoveCount();
    if (board.Full()) {
        return 0;
    }
    const int player = board.PlayerToMove();
    int best = -100;
    for (int column = 1; column <= 7; ++column) {
        if (!board.CanPlay(column)) {
            continue;
        }
        if (board.WouldComplete(column, board.Height(column) + 1, player)) {
            return (43 - moves) / 2;
        }
        board.Play(column);
        best = std::max(best, -Minimax(board));
        board.Undo(column);
    }
    return best;
}

// A random game's moves up to `discs` discs with nobody having won, or empty when it ended first.
std::string RandomOpening(std::mt19937& random, int discs) {
    GridBoard board;
    std::string moves;
    while (static_cast<int>(moves.size()) < discs) {
        std::vector<int> safe;
        for (int column = 1; column <= 7; ++column) {
            if (board.CanPlay(column) &&
                !board.WouldComplete(column, board.Height(column) + 1, board.PlayerToMove())) {
                safe.push_back(column);
            }
        }
        if (safe.empty()) {
            return {};
        }
        const int column =
            safe[std::uniform_int_distribution<std::size_t>(0, safe.size() - 1)(random)];
        board.Play(column);
        moves += static_cast<char>('0' + column);
    }
    return moves;
}

TEST(SolverTest, AgreesWithPlainMinimaxAndWithItsOwnMoveScores) {
    std::mt19937 random(42);
    Solver solver(20);
    int solved = 0;
    std::set<int> signs;
    while (solved < 300) {
        const int discs = std::uniform_int_distribution<int>(30, 38)(random);
        const std::string moves = RandomOpening(random, discs);
        if (moves.empty()) {
            continue;
        }
        GridBoard grid;
        for (const char c : moves) {
            grid.Play(c - '0');
        }
        const BitboardPosition position = BitboardPosition::FromMoves(moves).value();
        const int score = solver.Solve(position);
        ASSERT_EQ(score, Minimax(grid)) << moves;
        // The position is worth its best move.
        int best = -100;
        for (const std::optional<int>& move : solver.MoveScores(position)) {
            best = std::max(best, move.value_or(-100));
        }
        ASSERT_EQ(best, score) << moves;
        signs.insert((score > 0) - (score < 0));
        ++solved;
    }
    // Wins, draws and losses all came up.
    EXPECT_EQ(signs.size(), 3u);
}

TEST(SolverTest, KnowsPositionsOfKnownValue) {
    Solver solver(20);
    // x wins at once with its fourth disc in column 1: 22 - 4.
    EXPECT_EQ(solver.Solve(BitboardPosition::FromMoves("121212").value()), 18);
    // Any move but the win lets o win at once in column 2, with its fourth disc.
    const auto scores = solver.MoveScores(BitboardPosition::FromMoves("121212").value());
    EXPECT_EQ(scores[0], 18);
    for (int column = 3; column <= 7; ++column) {
        EXPECT_EQ(scores[static_cast<std::size_t>(column - 1)], -18) << column;
    }
    // The last free cell of a drawn game.
    const std::string tie = "44276122537725234254556347417537166663131";
    EXPECT_EQ(solver.Solve(BitboardPosition::FromMoves(tie).value()), 0);
    EXPECT_EQ(solver.Solve(BitboardPosition::FromMoves(tie + "1").value()), 0);
}

TEST(SolveProgramTest, AnswersGoodLinesAndNamesTheBadOnes) {
    const std::string dir = ::testing::TempDir();
    std::ofstream(dir + "/in.txt") << "121212\n48\n44276122537725234254556347417537166663131 "
                                      "notes\n4444444\n1212121\n12121212\n";
    const std::string command = std::string(FOURFALL_SOLVE) + " --moves <" + dir + "/in.txt >" +
                                dir + "/out.txt 2>" + dir + "/err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::stringstream out;
    out << std::ifstream(dir + "/out.txt").rdbuf();
    EXPECT_EQ(out.str(),
              "121212 18 18 -3 -18 -18 -18 -18 -18\n"
              "44276122537725234254556347417537166663131 0 0 - - - - - -\n");
    std::stringstream err;
    err << std::ifstream(dir + "/err.txt").rdbuf();
    EXPECT_EQ(err.str(),
              "fourfall-solve: line 2: \"48\" is no position to solve: '8' is no column (1 to 7)\n"
              "fourfall-solve: line 4: \"4444444\" is no position to solve: column 4 is full\n"
              "fourfall-solve: line 5: \"1212121\" is no position to solve: the last move wins "
              "the game: there is nothing left to solve\n"
              "fourfall-solve: line 6: \"12121212\" is no position to solve: move 8 comes after "
              "the game was won\n");
}

}  // namespace
