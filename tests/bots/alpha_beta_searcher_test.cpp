#include "bots/alpha_beta_searcher.h"

#include "grid_board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <string>

namespace {

using namespace std::chrono_literals;
using Rows = std::array<std::string_view, 6>;

// Positions with a move that must be found: an immediate win, the one block, the one safe move.
struct Case {
    const char* what;
    Rows rows;
    std::set<int> good;  // every acceptable column
};

const Case kCases[] = {
    {"wins upwards", {".......", ".......", ".......", "...x...", "...xo..", "...xo.o"}, {4}},
    {"blocks upwards", {".......", ".......", ".......", "...x...", "...xo..", "..oxo.x"}, {4}},
    {"blocks a row at its open end",
     {".......", ".......", ".......", ".......", "x......", "xooo.x."},
     {5}},
    {"blocks a rising diagonal",
     {".......", ".......", ".......", "..oo...", ".oxx...", "oxxox.."},
     {4}},
    {"takes its own win rather than block",
     {".......", ".......", ".......", "x.....o", "x.....o", "x.....o"},
     {1}},
    {"makes two threats at once",
     {".......", ".......", ".......", ".......", "..oo...", "..xx..."},
     {2, 5}},
    {"never plays under the opponent's winning cell",
     {".......", ".......", ".......", ".......", "xooo...", "oxxo.xx"},
     {1, 2, 3, 4, 6, 7}},
    {"blocks one threat of two when lost",
     {".......", ".......", ".......", ".......", "..xxx..", "..ooo.."},
     {2, 6}},
};

TEST(AlphaBetaSearcherTest, FindsTheMoveThatMustBePlayed) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.what) + "\n" + JoinRows(c.rows));
        const std::optional<BitboardPosition> position = BitboardPosition::FromRows(c.rows);
        ASSERT_TRUE(position.has_value());
        AlphaBetaSearcher timed(16);
        const SearchResult quick = timed.FindMove(*position, 50ms);
        EXPECT_TRUE(c.good.count(quick.column)) << "FindMove chose " << quick.column;
        AlphaBetaSearcher deep(16);
        const SearchResult searched = deep.SearchToDepth(*position, 8);
        EXPECT_TRUE(c.good.count(searched.column)) << "SearchToDepth chose " << searched.column;
    }
}

TEST(AlphaBetaSearcherTest, ScoresWinsAndLossesByTheMoveThatEndsTheGame) {
    AlphaBetaSearcher searcher(16);
    // Four discs on the board; the fifth makes two threats, the seventh wins.
    const BitboardPosition twoThreats = *BitboardPosition::FromMoves("3344");
    SearchResult result = searcher.SearchToDepth(twoThreats, 6);
    EXPECT_TRUE(result.proven);
    EXPECT_EQ(result.score, AlphaBetaSearcher::WinScore(7));
    // Six discs, the opponent has two threats: the eighth disc wins for it.
    const BitboardPosition lost = *BitboardPosition::FromRows(
        {".......", ".......", ".......", ".......", "..xxx..", "..ooo.."});
    result = searcher.SearchToDepth(lost, 6);
    EXPECT_TRUE(result.proven);
    EXPECT_EQ(result.score, -AlphaBetaSearcher::WinScore(8));
    // An immediate win is the highest score a position can have.
    result = searcher.FindMove(*BitboardPosition::FromMoves("343434"), 10ms);
    EXPECT_EQ(result.column, 3);
    EXPECT_EQ(result.score, AlphaBetaSearcher::WinScore(7));
}

TEST(AlphaBetaSearcherTest, OpensInTheCentre) {
    AlphaBetaSearcher searcher(16);
    EXPECT_EQ(searcher.FindMove(BitboardPosition(), 50ms).column, 4);
}

TEST(AlphaBetaSearcherTest, ReturnsALegalMoveEvenWithoutTime) {
    std::mt19937 random(7);
    AlphaBetaSearcher searcher(16);
    for (int game = 0; game < 20; ++game) {
        BitboardPosition position;
        while (!position.IsFull() && !position.LastMoverHasFour()) {
            const SearchResult result = searcher.FindMove(position, 0ms);
            ASSERT_TRUE(position.CanPlay(result.column)) << position.ToRows();
            std::uniform_int_distribution<int> pick(1, 7);
            int column = pick(random);
            while (!position.CanPlay(column)) {
                column = pick(random);
            }
            position.Play(column);
        }
    }
    EXPECT_EQ(
        searcher
            .FindMove(*BitboardPosition::FromMoves("746336637473574166457736351524215222121451"),
                      10ms)
            .column,
        0);
}

// The exact value by plain minimax over the tests' own grid: every move, no pruning, no table.
// Same scale as the searcher: a win by the n-th disc is worth 1000 - n to the winner.
int BruteForceValue(GridBoard& board) {
    if (board.Full()) {
        return 0;
    }
    const int mover = board.PlayerToMove();
    int best = -100000;
    for (int column = 1; column <= 7; ++column) {
        if (!board.CanPlay(column)) {
            continue;
        }
        const bool wins = board.WouldComplete(column, board.Height(column) + 1, mover);
        board.Play(column);
        const int value =
            wins ? AlphaBetaSearcher::WinScore(board.MoveCount()) : -BruteForceValue(board);
        board.Undo(column);
        best = std::max(best, value);
    }
    return best;
}

// Plays moves until `empty` cells are left and nobody has four; false when a game ended on the way
// (the caller tries again). Moves are random, or with `guided` three in four come from a shallow
// search: purely random games are decided early, and their positions hardly exercise the search.
bool RandomPosition(std::mt19937& random, int empty, GridBoard& grid, BitboardPosition& position,
                    bool guided = false) {
    grid = GridBoard();
    position = BitboardPosition();
    AlphaBetaSearcher guide(12);
    std::uniform_int_distribution<int> pick(1, 7);
    while (42 - grid.MoveCount() > empty) {
        int column = 0;
        if (guided && random() % 4 != 0) {
            column = guide.SearchToDepth(position, 4).column;
        } else {
            do {
                column = pick(random);
            } while (!grid.CanPlay(column));
        }
        const int mover = grid.PlayerToMove();
        grid.Play(column);
        position.Play(column);
        if (grid.HasFour(mover)) {
            return false;
        }
    }
    return true;
}

TEST(AlphaBetaSearcherTest, SolvesEndgamesExactlyLikeBruteForce) {
    std::mt19937 random(42);
    AlphaBetaSearcher searcher(18);
    int solved = 0;
    while (solved < 60) {
        const int empty = 5 + solved % 4;  // 5..8 cells left
        GridBoard grid;
        BitboardPosition position;
        if (!RandomPosition(random, empty, grid, position)) {
            continue;
        }
        ++solved;
        SCOPED_TRACE(grid.Rows());
        const int expected = BruteForceValue(grid);
        const SearchResult result = searcher.SearchToDepth(position, 42);
        ASSERT_TRUE(result.proven);
        ASSERT_EQ(result.score, expected);
        // The chosen move must itself achieve that value.
        ASSERT_TRUE(grid.CanPlay(result.column));
        const int mover = grid.PlayerToMove();
        const bool wins = grid.WouldComplete(result.column, grid.Height(result.column) + 1, mover);
        grid.Play(result.column);
        const int achieved =
            wins ? AlphaBetaSearcher::WinScore(grid.MoveCount()) : -BruteForceValue(grid);
        EXPECT_EQ(achieved, expected) << "column " << result.column;
    }
}

// The exact value again, for positions too deep for plain minimax: negamax with alpha-beta over
// the tests' own grid, no table, no move filtering, no bounds from the move count. With the full
// window at the root it returns the minimax value.
int AlphaBetaValue(GridBoard& board, int alpha, int beta) {
    if (board.Full()) {
        return 0;
    }
    const int mover = board.PlayerToMove();
    for (int column = 1; column <= 7; ++column) {
        if (board.CanPlay(column) && board.WouldComplete(column, board.Height(column) + 1, mover)) {
            return AlphaBetaSearcher::WinScore(board.MoveCount() + 1);
        }
    }
    int best = -100000;
    for (const int column : {4, 3, 5, 2, 6, 1, 7}) {
        if (!board.CanPlay(column)) {
            continue;
        }
        board.Play(column);
        const int value = -AlphaBetaValue(board, -beta, -std::max(alpha, best));
        board.Undo(column);
        best = std::max(best, value);
        if (best >= beta) {
            break;
        }
    }
    return best;
}

// Deeper than brute force can go, where the table and the bounds do their work: the same values as
// the plain alpha-beta above, whatever the table remembers from the searches before.
TEST(AlphaBetaSearcherTest, SolvesDeeperPositionsLikePlainAlphaBeta) {
    std::mt19937 random(99);
    AlphaBetaSearcher shared(18);
    // Drawn positions need the search to go to the very end, where a table entry from a shallower
    // iteration would leak a heuristic score; keep as many of them as of decided ones.
    int draws = 0;
    int decided = 0;
    while (draws < 12 || decided < 12) {
        const int empty = 14 + (draws + decided) % 7;  // 14..20 cells left
        GridBoard grid;
        BitboardPosition position;
        if (!RandomPosition(random, empty, grid, position, true)) {
            continue;
        }
        const int expected = AlphaBetaValue(grid, -100000, 100000);
        if ((expected == 0 && draws >= 12) || (expected != 0 && decided >= 12)) {
            continue;
        }
        ++(expected == 0 ? draws : decided);
        SCOPED_TRACE(grid.Rows());
        const SearchResult result = shared.SearchToDepth(position, 42);
        ASSERT_TRUE(result.proven);
        EXPECT_EQ(result.score, expected);
        AlphaBetaSearcher tiny(1);
        EXPECT_EQ(tiny.SearchToDepth(position, 42).score, expected) << "with a two-slot table";
    }
}

// A game between the searcher and uniformly random moves, refereed on the tests' own grid.
// Returns the winner (1 or 2, the first mover 1) or 0 for a tie.
int PlayAgainstRandom(AlphaBetaSearcher& searcher, bool searcherFirst, unsigned seed) {
    std::mt19937 random(seed);
    GridBoard grid;
    BitboardPosition position;
    while (!grid.Full()) {
        const int mover = grid.PlayerToMove();
        int column = 0;
        if ((mover == 1) == searcherFirst) {
            column = searcher.SearchToDepth(position, 7).column;
        } else {
            std::uniform_int_distribution<int> pick(1, 7);
            do {
                column = pick(random);
            } while (!grid.CanPlay(column));
        }
        EXPECT_TRUE(grid.CanPlay(column)) << grid.Rows();
        if (!grid.CanPlay(column)) {
            return 0;
        }
        grid.Play(column);
        position.Play(column);
        if (grid.HasFour(mover)) {
            return mover;
        }
    }
    return 0;
}

TEST(AlphaBetaSearcherTest, BeatsRandomMovesInTwentyGamesFirstOrSecond) {
    for (unsigned game = 0; game < 20; ++game) {
        AlphaBetaSearcher searcher(16);
        const bool first = game % 2 == 0;
        const int winner = PlayAgainstRandom(searcher, first, 1000 + game);
        EXPECT_EQ(winner, first ? 1 : 2) << "game " << game;
    }
}

}  // namespace
