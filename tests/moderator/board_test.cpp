#include "moderator/board.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Rows = std::array<std::string_view, Board::kRows>;

Board MakeBoard(const Rows& rows) {
    const std::optional<Board> board = Board::FromRows(rows);
    if (!board) {
        ADD_FAILURE() << "malformed board rows";
        return Board{};
    }
    return *board;
}

std::string Show(const Board& board) {
    std::string text;
    for (const std::string& row : board.ToRows()) {
        text += "\n  " + row;
    }
    return text;
}

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// ---------------------------------------------------------------------------------------------
// What a whole-board check announces: a row per position, six rows of seven cells, top row first.

struct CheckCase {
    const char* name;
    Rows rows;
    std::vector<ResultKind> expected;
};

void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr ResultKind P1 = Player1Wins;
constexpr ResultKind P2 = Player2Wins;
constexpr ResultKind Tie = ResultTie;

const CheckCase kCheckCases[] = {
    // Nothing to announce.
    {"EmptyBoard", {".......", ".......", ".......", ".......", ".......", "......."}, {}},
    {"ThreesEverywhereButNoFour",
     {".......", ".......", "..2....", "..1.2..", ".2112..", "1211122"},
     {}},

    // The four directions.
    {"VerticalInColumnOne",
     {".......", ".......", "1......", "12.....", "12.....", "12....."},
     {P1}},
    {"HorizontalInBottomRow",
     {".......", ".......", ".......", ".......", "111....", "2222..."},
     {P2}},
    {"RisingDiagonalFromTheCorner",
     {".......", ".......", "...1...", "..12...", ".122...", "1222..."},
     {P1}},
    {"FallingDiagonalToTheRightEdge",
     {".......", ".......", "...2...", "...12..", "...112.", "...1112"},
     {P2}},

    // The edges.
    {"VerticalAtRightEdgeReachingTheTop",
     {"......2", "......2", "......2", "......2", "......1", "......1"},
     {P2}},
    {"HorizontalInTopRowAtRightEdge",
     {"...1111", "...2112", "...1121", "...2221", "...1212", "...1222"},
     {P1}},

    // The four diagonals of exactly four cells.
    {"ShortestFallingDiagonalAtBottomLeft",
     {".......", ".......", "1......", "21.....", "121....", "1121..."},
     {P1}},
    {"ShortestRisingDiagonalAtTopLeft",
     {"...2...", "..22...", ".212...", "2221...", "1122...", "1221..."},
     {P2}},
    {"ShortestRisingDiagonalAtBottomRight",
     {".......", ".......", "......1", ".....11", "....112", "...1221"},
     {P1}},
    {"ShortestFallingDiagonalAtTopRight",
     {"...2...", "...22..", "...112.", "...2212", "...1222", "...1212"},
     {P2}},

    // Long runs are announced once per disc beyond the third.
    {"FiveInARowAnnouncedTwice",
     {".......", ".......", ".......", ".......", "11.11..", "22222.."},
     {P2, P2}},
    {"SevenInARowAnnouncedFourTimes",
     {".......", ".......", ".......", ".......", "222.222", "1111111"},
     {P1, P1, P1, P1}},
    {"FiveInAColumnAnnouncedTwice",
     {".......", "2......", "2......", "2......", "2......", "21111.."},
     {P2, P2, P1}},

    // Order: columns, then rows, then the diagonal families, each in order of its start.
    {"VerticalAndHorizontalByOneDisc",
     {".......", ".......", "...1...", "...1...", "..21...", "2221111"},
     {P1, P1}},
    {"ColumnBeforeRow",
     {".......", ".......", "......2", "......2", ".....12", "1111212"},
     {P2, P1}},
    {"ColumnsLeftToRight",
     {".......", ".......", ".2..1..", ".2..1..", ".2..1..", "12.21.."},
     {P2, P1}},
    {"RowsBottomToTop",
     {".......", ".......", ".......", ".......", "1111222", "2222111"},
     {P2, P1}},
    {"RowsBeforeDiagonals",
     {".......", "...2222", "...1222", "..12111", ".112221", "1221211"},
     {P2, P1}},
    {"RisingFromLeftEdgeBeforeRisingFromBottom",
     {".......", "...2...", "..22.1.", ".22112.", "221121.", "111222."},
     {P2, P1}},
    {"RisingBeforeFalling",
     {"....1..", "..211..", "..122..", ".1222..", ".21122.", ".22112."},
     {P1, P2}},
    {"FallingFromLeftEdgeBeforeFallingFromTop",
     {"..1....", "2.11...", "12111..", "112221.", "211222.", "221212."},
     {P2, P1}},

    // Runs broken by an empty cell or by the other player do not add up.
    {"GapBreaksARow", {".......", ".......", ".......", ".......", ".......", "111.1.."}, {}},
    {"OpponentBreaksARow", {".......", ".......", ".......", ".......", ".......", "11121.."}, {}},
    {"RunAfterOpponentCountsFromItsOwnStart",
     {".......", ".......", ".......", ".......", ".......", "1121111"},
     {P1}},
    {"OpponentBreaksAColumn",
     {"1......", "1......", "2......", "1......", "1......", "1......"},
     {}},
    {"DiscsAboveAGapStillCount",
     {".......", ".......", "2222...", ".......", ".......", "......."},
     {P2}},

    // Full boards.
    {"FullBoardWithoutFourIsATie",
     {"2121222", "1122111", "1212122", "1122112", "2111221", "1222121"},
     {Tie}},
    {"FullBoardWithFourAnnouncesTheWinThenTheTie",
     {"1212121", "1212121", "2122112", "1221221", "1112112", "1222212"},
     {P2, Tie}},
    {"OneEmptyCellIsNoTie", {"121.211", "1122211", "1221222", "2112111", "2221122", "2122111"}, {}},
};

class CheckBoardTable : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckBoardTable, AnnouncesExactlyWhatTheScansFind) {
    const CheckCase& c = GetParam();
    const Board board = MakeBoard(c.rows);
    EXPECT_EQ(board.CheckBoard(), c.expected) << Show(board);
}

INSTANTIATE_TEST_SUITE_P(Positions, CheckBoardTable, ::testing::ValuesIn(kCheckCases),
                         [](const ::testing::TestParamInfo<CheckCase>& param) {
                             return std::string(param.param.name);
                         });

// ---------------------------------------------------------------------------------------------
// Moves.

TEST(Board, NewBoardIsEmptyIndexZeroIncluded) {
    const Board board;
    for (std::int32_t col = 0; col <= Board::kColumns; ++col) {
        EXPECT_EQ(board.Height(col), 1) << "column " << col;
        for (std::int32_t row = 0; row <= Board::kRows; ++row) {
            EXPECT_EQ(board.At(col, row), 0) << col << ", " << row;
        }
    }
    EXPECT_FALSE(board.IsFull());
    EXPECT_TRUE(board.CheckBoard().empty());
}

TEST(Board, DropLandsInTheColumnsNextFreeRow) {
    Board board;
    EXPECT_EQ(board.Drop(4, 1), 1);
    EXPECT_EQ(board.At(4, 1), 1);
    EXPECT_EQ(board.Height(4), 2);
    EXPECT_EQ(board.Drop(4, 2), 2);
    EXPECT_EQ(board.At(4, 2), 2);
    EXPECT_EQ(board.Height(4), 3);
    EXPECT_EQ(board.Drop(1, 2), 1);
    EXPECT_EQ(board.ToRows(),
              (std::array<std::string, Board::kRows>{".......", ".......", ".......", ".......",
                                                     "...2...", "2..1..."}));
    for (const std::int32_t col : {0, 2, 3, 5, 6, 7}) {
        EXPECT_EQ(board.Height(col), 1) << "column " << col;
    }
}

TEST(Board, FillsAColumnFromTheBottomAndRejectsASeventhDisc) {
    Board board;
    for (std::int32_t row = 1; row <= Board::kRows; ++row) {
        EXPECT_EQ(board.Drop(3, row % 2 + 1), row);
        EXPECT_EQ(board.Height(3), row + 1);
    }
    EXPECT_EQ(board.Height(3), Board::kFullHeight);
    const Board full = board;
    EXPECT_EQ(board.Drop(3, 1), std::nullopt);
    EXPECT_EQ(board.Drop(3, 2), std::nullopt);
    EXPECT_EQ(board, full);
    EXPECT_EQ(board.At(3, 7), 0);
    // Other columns still take discs.
    EXPECT_EQ(board.Drop(2, 1), 1);
}

TEST(Board, RejectsColumnsOutsideOneToSeven) {
    Board board;
    ASSERT_TRUE(board.Drop(5, 1));
    const Board before = board;
    for (const std::int32_t col : {0, 8, 9, -1, 12, kMin, kMax}) {
        EXPECT_EQ(board.Drop(col, 2), std::nullopt) << "column " << col;
    }
    EXPECT_EQ(board, before);
    EXPECT_EQ(board.At(0, 1), 0);
    EXPECT_EQ(board.Height(0), 1);
}

TEST(Board, RejectsPlayersOtherThanOneAndTwo) {
    Board board;
    for (const std::int32_t player : {0, 3, -1, kMax}) {
        EXPECT_EQ(board.Drop(4, player), std::nullopt) << "player " << player;
    }
    EXPECT_EQ(board, Board{});
}

TEST(Board, ClearEmptiesEveryCellAndHeight) {
    Board board = MakeBoard({"2121222", "1122111", "1212122", "1122112", "2111221", "1222121"});
    ASSERT_TRUE(board.IsFull());
    board.Clear();
    EXPECT_EQ(board, Board{});
    EXPECT_EQ(board.Drop(7, 1), 1);
}

TEST(Board, ReadsOutsideTheArraysGiveZero) {
    const Board board =
        MakeBoard({"1111111", "2222222", "1111111", "2222222", "1111111", "2222222"});
    for (const auto& [col, row] : {std::pair{-1, 1}, {8, 1}, {1, -1}, {1, 7}, {kMin, kMax}}) {
        EXPECT_EQ(board.At(col, row), 0) << col << ", " << row;
    }
    EXPECT_EQ(board.Height(-1), 0);
    EXPECT_EQ(board.Height(8), 0);
    EXPECT_EQ(board.Height(kMax), 0);
}

TEST(Board, IsFullOnlyWhenEveryColumnIsFull) {
    Board board;
    for (std::int32_t col = 1; col <= Board::kColumns; ++col) {
        for (std::int32_t row = 1; row <= Board::kRows; ++row) {
            EXPECT_FALSE(board.IsFull());
            ASSERT_TRUE(board.Drop(col, (col / 2 + row) % 2 + 1));
        }
    }
    EXPECT_TRUE(board.IsFull());
    EXPECT_EQ(board.CheckBoard().back(), ResultTie);
}

// The winning disc is also the last one: the check reports the win, then the tie.
TEST(Board, WinningMoveThatFillsTheBoard) {
    Board board = MakeBoard({"121.211", "1122211", "1221222", "2112111", "2221122", "2122111"});
    EXPECT_TRUE(board.CheckBoard().empty());
    EXPECT_EQ(board.Drop(4, 2), 6);
    EXPECT_EQ(board.CheckBoard(), (std::vector<ResultKind>{Player2Wins, ResultTie}));
}

// ---------------------------------------------------------------------------------------------
// Single lines.

TEST(Board, ScanLineCountsFromWhereItStarts) {
    const Board board =
        MakeBoard({".......", "1......", "1......", "1......", "1......", "1......"});
    EXPECT_EQ(board.ScanLine(1, 1, 0, 1), (std::vector<ResultKind>{P1, P1}));
    EXPECT_EQ(board.ScanLine(1, 2, 0, 1), (std::vector<ResultKind>{P1}));
    EXPECT_TRUE(board.ScanLine(1, 3, 0, 1).empty());
    // Downward from the top, the same run.
    EXPECT_EQ(board.ScanLine(1, 6, 0, -1), (std::vector<ResultKind>{P1, P1}));
}

TEST(Board, ScanLineWalksEitherWayAlongARowIncludingColumnZero) {
    const Board board =
        MakeBoard({".......", ".......", ".......", ".......", ".......", "2222..."});
    EXPECT_EQ(board.ScanLine(0, 1, 1, 0), (std::vector<ResultKind>{P2}));
    EXPECT_EQ(board.ScanLine(7, 1, -1, 0), (std::vector<ResultKind>{P2}));
    EXPECT_TRUE(board.ScanLine(2, 1, 1, 0).empty());
}

TEST(Board, ScanLineStaysInsideTheArraysWhateverItIsGiven) {
    const Board board =
        MakeBoard({"1111111", "1111111", "1111111", "1111111", "1111111", "1111111"});
    EXPECT_TRUE(board.ScanLine(-1, 1, 1, 0).empty()) << "starts left of column 0";
    EXPECT_TRUE(board.ScanLine(8, 1, -1, 0).empty()) << "starts right of column 7";
    EXPECT_TRUE(board.ScanLine(1, 0, 0, 1).empty()) << "starts in row 0";
    EXPECT_TRUE(board.ScanLine(1, 7, 0, -1).empty()) << "starts above the top row";
    EXPECT_TRUE(board.ScanLine(4, 3, 0, 0).empty()) << "a zero step visits one cell";
    EXPECT_TRUE(board.ScanLine(7, 6, kMax, kMax).empty());
    EXPECT_TRUE(board.ScanLine(1, 1, kMin, kMin).empty());
    EXPECT_TRUE(board.ScanLine(kMin, kMin, kMax, kMax).empty());
    EXPECT_EQ(board.ScanLine(1, 1, 2, 0), (std::vector<ResultKind>{P1})) << "cells 1, 3, 5, 7";
}

// ---------------------------------------------------------------------------------------------
// Boards from text.

TEST(Board, FromRowsSetsHeightsAboveTheTopmostDisc) {
    const Board board =
        MakeBoard({".......", "..2....", ".......", "..1....", "1.1....", "121...."});
    EXPECT_EQ(board.Height(1), 3);
    EXPECT_EQ(board.Height(2), 2);
    EXPECT_EQ(board.Height(3), 6);
    EXPECT_EQ(board.Height(4), 1);
    EXPECT_EQ(board.At(3, 5), 2);
    EXPECT_EQ(board.At(3, 4), 0);
    EXPECT_EQ(board.ToRows()[1], "..2....");
}

TEST(Board, FromRowsRejectsMalformedRows) {
    const Rows good = {".......", ".......", ".......", ".......", ".......", "......."};
    ASSERT_TRUE(Board::FromRows(good));
    for (const Rows& bad : {
             Rows{"......", ".......", ".......", ".......", ".......", "......."},
             Rows{".......", ".......", ".......", ".......", ".......", "........"},
             Rows{".......", ".......", "...3...", ".......", ".......", "......."},
             Rows{".......", ".......", ".......", ".......", ".......", "0......"},
             Rows{".......", ".......", ".......", ".......", ".......", "x......"},
         }) {
        EXPECT_FALSE(Board::FromRows(bad));
    }
}

}  // namespace
