#include "bots/bitboard_position.h"

#include "grid_board.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>

namespace {

using Rows = std::array<std::string_view, 6>;

BitboardPosition FromRowsOrDie(const Rows& rows) {
    const std::optional<BitboardPosition> position = BitboardPosition::FromRows(rows);
    EXPECT_TRUE(position.has_value());
    return position.value_or(BitboardPosition());
}

TEST(BitboardPositionTest, FromRowsReadsTheDrawnBoard) {
    const Rows rows = {".......", ".......", "...o...", "...x...", "..ox...", "..xox.."};
    const BitboardPosition position = FromRowsOrDie(rows);
    EXPECT_EQ(position.MoveCount(), 7);
    EXPECT_FALSE(position.FirstMoverToMove());
    EXPECT_EQ(position.CellAt(3, 1), 'x');
    EXPECT_EQ(position.CellAt(4, 1), 'o');
    EXPECT_EQ(position.CellAt(5, 1), 'x');
    EXPECT_EQ(position.CellAt(3, 2), 'o');
    EXPECT_EQ(position.CellAt(4, 4), 'o');
    EXPECT_EQ(position.CellAt(4, 5), '.');
    EXPECT_EQ(position.ToRows(), JoinRows(rows));
}

TEST(BitboardPositionTest, FromMovesAgreesWithTheDrawnBoard) {
    struct Case {
        std::string_view moves;
        Rows rows;
    };
    const Case cases[] = {
        {"", {".......", ".......", ".......", ".......", ".......", "......."}},
        {"4", {".......", ".......", ".......", ".......", ".......", "...x..."}},
        {"44", {".......", ".......", ".......", ".......", "...o...", "...x..."}},
        {"1726", {".......", ".......", ".......", ".......", ".......", "xx...oo"}},
        {"444444", {"...o...", "...x...", "...o...", "...x...", "...o...", "...x..."}},
        {"3453542", {".......", ".......", ".......", ".......", "..oox..", ".xxox.."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.moves));
        const std::optional<BitboardPosition> played = BitboardPosition::FromMoves(c.moves);
        ASSERT_TRUE(played.has_value());
        EXPECT_EQ(played->ToRows(), JoinRows(c.rows));
        EXPECT_EQ(played->Key(), FromRowsOrDie(c.rows).Key());
        EXPECT_EQ(played->MoveCount(), static_cast<int>(c.moves.size()));
    }
}

TEST(BitboardPositionTest, FromRowsRejectsMalformedBoards) {
    const Rows cases[] = {
        {".......", ".......", ".......", ".......", "...x...", "......."},   // floating disc
        {".......", ".......", ".......", ".......", ".......", "...X..."},   // unknown mark
        {".......", ".......", ".......", ".......", ".......", "...x.."},    // short row
        {".......", ".......", ".......", ".......", ".......", "...x...."},  // long row
        {".......", ".......", ".......", ".......", ".......", "...o..."},   // o before x
        {".......", ".......", ".......", ".......", ".......", "..xxx.."},   // x twice ahead
    };
    for (const Rows& rows : cases) {
        EXPECT_FALSE(BitboardPosition::FromRows(rows).has_value()) << JoinRows(rows);
    }
}

TEST(BitboardPositionTest, FromMovesRejectsCharactersThatAreNotFreeColumns) {
    for (const std::string_view moves : {"0", "8", "4a", "4 ", "-1", "4444444"}) {
        EXPECT_FALSE(BitboardPosition::FromMoves(moves).has_value()) << moves;
    }
}

TEST(BitboardPositionTest, CanPlayOnlyColumnsOneToSevenWithAFreeCell) {
    const BitboardPosition position = *BitboardPosition::FromMoves("444444");
    EXPECT_FALSE(position.CanPlay(0));
    EXPECT_FALSE(position.CanPlay(8));
    EXPECT_FALSE(position.CanPlay(-1));
    EXPECT_FALSE(position.CanPlay(4));
    for (const int column : {1, 2, 3, 5, 6, 7}) {
        EXPECT_TRUE(position.CanPlay(column)) << column;
    }
}

TEST(BitboardPositionTest, FindsTheWinningMoveInEveryDirectionAndAtTheEdges) {
    struct Case {
        const char* what;
        Rows rows;  // the side to move is x in every case
        int winning;
        int notWinning;
    };
    const Case cases[] = {
        {"vertical, left edge",
         {".......", ".......", ".......", "x......", "x.o....", "x.o.o.."},
         1,
         3},
        {"horizontal, right edge",
         {".......", ".......", ".......", ".......", "....ooo", "....xxx"},
         4,
         1},
        {"horizontal, gap in the middle",
         {".......", ".......", ".......", ".......", ".o.....", "oxx.x.o"},
         4,
         6},
        {"rising diagonal",
         {".......", ".......", ".......", "..xx...", ".xoo...", "xoxoo.."},
         4,
         5},
        {"falling diagonal to the right edge",
         {".......", ".......", ".......", "...xx..", "...oox.", "ooxoxox"},
         4,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<BitboardPosition> position = BitboardPosition::FromRows(c.rows);
        ASSERT_TRUE(position.has_value());
        ASSERT_TRUE(position->FirstMoverToMove());
        EXPECT_TRUE(position->IsWinningMove(c.winning));
        EXPECT_FALSE(position->IsWinningMove(c.notWinning));
        EXPECT_TRUE(position->CanWinNext());
        BitboardPosition after = *position;
        after.Play(c.winning);
        EXPECT_TRUE(after.LastMoverHasFour());
    }
}

TEST(BitboardPositionTest, LinesDoNotWrapFromTheTopOfOneColumnToTheNext) {
    // x holds the top two cells of column 1 and the bottom two of column 2: neighbours in bit
    // order, but not a line on the board.
    const Rows rows = {"x......", "x......", "o......", "x......", "ox.....", "xxooo.."};
    const BitboardPosition position = FromRowsOrDie(rows);
    ASSERT_FALSE(position.FirstMoverToMove());
    EXPECT_FALSE(position.LastMoverHasFour());
    EXPECT_EQ(position.OpponentWinningCells() & BitboardPosition::CellMask(2, 3), 0u);
    EXPECT_TRUE(position.IsWinningMove(6));
    EXPECT_FALSE(position.IsWinningMove(2));
}

// Every query, after every move of many random games, against the tests' own grid and its
// brute-force scan.
TEST(BitboardPositionTest, MatchesABruteForceBoardThroughRandomGames) {
    std::mt19937 random(20241208);
    std::map<std::uint64_t, std::string> keys;
    for (int game = 0; game < 300; ++game) {
        BitboardPosition position;
        GridBoard grid;
        while (!grid.Full()) {
            const int mover = grid.PlayerToMove();
            const int opponent = 3 - mover;
            std::uint64_t ownCells = 0;
            std::uint64_t opponentCells = 0;
            for (int column = 1; column <= 7; ++column) {
                for (int row = 1; row <= 6; ++row) {
                    const char expected = grid.At(column, row) == 0   ? '.'
                                          : grid.At(column, row) == 1 ? 'x'
                                                                      : 'o';
                    ASSERT_EQ(position.CellAt(column, row), expected) << grid.Rows();
                    if (grid.WouldComplete(column, row, mover)) {
                        ownCells |= BitboardPosition::CellMask(column, row);
                    }
                    if (grid.WouldComplete(column, row, opponent)) {
                        opponentCells |= BitboardPosition::CellMask(column, row);
                    }
                }
                ASSERT_EQ(position.CanPlay(column), grid.CanPlay(column));
            }
            ASSERT_EQ(position.OwnWinningCells(), ownCells) << grid.Rows();
            ASSERT_EQ(position.OpponentWinningCells(), opponentCells) << grid.Rows();

            // A move is non-losing when afterwards the opponent has no winning move to play.
            std::uint64_t nonLosing = 0;
            for (int column = 1; column <= 7; ++column) {
                if (!grid.CanPlay(column)) {
                    continue;
                }
                ASSERT_EQ(position.IsWinningMove(column),
                          grid.WouldComplete(column, grid.Height(column) + 1, mover))
                    << grid.Rows() << column;
                grid.Play(column);
                bool opponentWins = false;
                for (int reply = 1; reply <= 7; ++reply) {
                    opponentWins = opponentWins ||
                                   (grid.CanPlay(reply) &&
                                    grid.WouldComplete(reply, grid.Height(reply) + 1, opponent));
                }
                grid.Undo(column);
                if (!opponentWins) {
                    nonLosing |= BitboardPosition::CellMask(column, grid.Height(column) + 1);
                }
            }
            ASSERT_EQ(position.NonLosingMoves(), nonLosing) << grid.Rows();

            const auto [known, fresh] = keys.emplace(position.Key(), grid.Rows());
            ASSERT_TRUE(fresh || known->second == grid.Rows()) << "one key for two positions:\n"
                                                               << known->second << "and\n"
                                                               << grid.Rows();

            std::uniform_int_distribution<int> pick(1, 7);
            int column = pick(random);
            while (!grid.CanPlay(column)) {
                column = pick(random);
            }
            position.Play(column);
            grid.Play(column);
            ASSERT_EQ(position.LastMoverHasFour(), grid.HasFour(mover)) << grid.Rows();
            ASSERT_EQ(position.MoveCount(), grid.MoveCount());
            ASSERT_EQ(position.IsFull(), grid.Full());
            if (grid.HasFour(mover)) {
                break;  // the game is over; with a four on the board every move "has four"
            }
        }
    }
}

}  // namespace
