// The board checked against oracles rather than hand-computed positions: the number of move
// sequences from the empty board, and an independent four-in-a-line search over random boards.

#include "moderator/board.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

bool GameOver(const std::vector<ResultKind>& announced) {
    return !announced.empty();
}

// Counts, for every length up to counts.size(), the move sequences that the real Drop accepts,
// never extending a sequence whose position CheckBoard announces anything for (a finished game).
void CountSequences(const Board& board, std::int32_t player, std::size_t ply,
                    std::vector<std::uint64_t>& counts) {
    for (std::int32_t col = 1; col <= Board::kColumns; ++col) {
        Board next = board;
        if (!next.Drop(col, player)) {
            continue;
        }
        ++counts[ply];
        if (ply + 1 < counts.size() && !GameOver(next.CheckBoard())) {
            CountSequences(next, 3 - player, ply + 1, counts);
        }
    }
}

TEST(BoardOracle, MoveSequencesFromTheEmptyBoard) {
    // Up to ply 6 every sequence is legal; at ply 7 the seven sequences that drop into one column
    // seven times are not; from ply 7 on, the first player can have four in a line.
    const std::vector<std::uint64_t> expected = {7, 49, 343, 2401, 16807, 117649, 823536, 5673234};
    std::vector<std::uint64_t> counts(expected.size(), 0);
    const auto start = std::chrono::steady_clock::now();
    CountSequences(Board{}, 1, 0, counts);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << "[ measured ] move sequences up to ply " << expected.size() << " in "
              << took.count() << " s\n";
    EXPECT_EQ(counts, expected);
}

// ---------------------------------------------------------------------------------------------
// Independent search: every maximal line of the board in each of the four directions, found by
// walking from each cell whose predecessor lies off the board, with its runs counted directly.

struct Expectation {
    bool hasFour[3] = {false, false, false};
    int announcements[3] = {0, 0, 0};
    bool tie = false;
};

using Cells = std::array<std::array<int, 7>, 8>;  // [col][row], 1..7 x 1..6 used

Expectation Search(const Cells& cells) {
    Expectation e;
    const auto onBoard = [](int c, int r) { return c >= 1 && c <= 7 && r >= 1 && r <= 6; };
    const int directions[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
    for (const auto& d : directions) {
        for (int c = 1; c <= 7; ++c) {
            for (int r = 1; r <= 6; ++r) {
                // Four in a line starting here.
                if (cells[c][r] != 0 && onBoard(c + 3 * d[0], r + 3 * d[1]) &&
                    cells[c + d[0]][r + d[1]] == cells[c][r] &&
                    cells[c + 2 * d[0]][r + 2 * d[1]] == cells[c][r] &&
                    cells[c + 3 * d[0]][r + 3 * d[1]] == cells[c][r]) {
                    e.hasFour[cells[c][r]] = true;
                }
                if (onBoard(c - d[0], r - d[1])) {
                    continue;  // not the start of a maximal line
                }
                std::vector<int> line;
                for (int x = c, y = r; onBoard(x, y); x += d[0], y += d[1]) {
                    line.push_back(cells[x][y]);
                }
                if (line.size() < 4) {
                    continue;
                }
                for (std::size_t i = 0; i < line.size();) {
                    std::size_t j = i;
                    while (j < line.size() && line[j] == line[i]) {
                        ++j;
                    }
                    const int length = static_cast<int>(j - i);
                    if (line[i] != 0 && length >= 4) {
                        e.announcements[line[i]] += length - 3;
                    }
                    i = j;
                }
            }
        }
    }
    e.tie = true;
    for (int c = 1; c <= 7; ++c) {
        e.tie = e.tie && cells[c][6] != 0;
    }
    return e;
}

Board ToBoard(const Cells& cells) {
    std::array<std::string, Board::kRows> text;
    for (int r = 6; r >= 1; --r) {
        for (int c = 1; c <= 7; ++c) {
            text[6 - r].push_back(cells[c][r] == 0 ? '.' : static_cast<char>('0' + cells[c][r]));
        }
    }
    const auto board = Board::FromRows({text[0], text[1], text[2], text[3], text[4], text[5]});
    EXPECT_TRUE(board);
    return board.value_or(Board{});
}

std::string Show(const Cells& cells) {
    std::string out;
    for (const std::string& row : ToBoard(cells).ToRows()) {
        out += "\n  " + row;
    }
    return out;
}

// Cells drawn independently: 0, 1 or 2 with the given weights; gaps under discs are allowed.
Cells RandomFilling(std::mt19937& random, int empty, int one, int two) {
    std::discrete_distribution<int> pick({double(empty), double(one), double(two)});
    Cells cells{};
    for (int c = 1; c <= 7; ++c) {
        for (int r = 1; r <= 6; ++r) {
            cells[c][r] = pick(random);
        }
    }
    return cells;
}

// A position reached by dropping discs in turn into random non-full columns, played on past any
// four in a line, for a random number of moves.
Cells RandomGame(std::mt19937& random) {
    Cells cells{};
    int heights[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    const int moves = std::uniform_int_distribution<int>(0, 42)(random);
    std::uniform_int_distribution<int> column(1, 7);
    for (int m = 0; m < moves; ++m) {
        int c = column(random);
        while (heights[c] > 6) {
            c = c % 7 + 1;
        }
        cells[c][heights[c]++] = m % 2 + 1;
    }
    return cells;
}

TEST(BoardOracle, LineScanAgreesWithAnIndependentSearch) {
    constexpr std::uint32_t kSeed = 20240611;
    constexpr int kBoardsPerKind = 20000;
    std::mt19937 random(kSeed);
    int boardsWithFours = 0;
    int ties = 0;
    int tiesWithoutFour = 0;
    for (int kind = 0; kind < 5; ++kind) {
        for (int n = 0; n < kBoardsPerKind; ++n) {
            Cells cells;
            switch (kind) {
                case 0:  // anything, gaps under discs included
                    cells = RandomFilling(random, 1, 1, 1);
                    break;
                case 1:  // full boards
                    cells = RandomFilling(random, 0, 1, 1);
                    break;
                case 2:  // long runs of player 1
                    cells = RandomFilling(random, 1, 6, 1);
                    break;
                case 3:  // long runs of player 2
                    cells = RandomFilling(random, 0, 1, 9);
                    break;
                default:  // positions that play reaches
                    cells = RandomGame(random);
                    break;
            }
            const Expectation e = Search(cells);
            const std::vector<ResultKind> announced = ToBoard(cells).CheckBoard();

            int counted[4] = {0, 0, 0, 0};
            for (const ResultKind k : announced) {
                ASSERT_GE(k, ResultError);
                ASSERT_LE(k, ResultTie);
                ++counted[k];
            }
            ASSERT_EQ(counted[ResultError], 0) << Show(cells);
            ASSERT_EQ(counted[Player1Wins] > 0, e.hasFour[1]) << Show(cells);
            ASSERT_EQ(counted[Player2Wins] > 0, e.hasFour[2]) << Show(cells);
            ASSERT_EQ(counted[Player1Wins], e.announcements[1]) << Show(cells);
            ASSERT_EQ(counted[Player2Wins], e.announcements[2]) << Show(cells);
            ASSERT_EQ(counted[ResultTie], e.tie ? 1 : 0) << Show(cells);
            if (e.tie) {
                ASSERT_EQ(announced.back(), ResultTie) << Show(cells);
            }
            boardsWithFours += e.hasFour[1] || e.hasFour[2];
            ties += e.tie;
            tiesWithoutFour += e.tie && !e.hasFour[1] && !e.hasFour[2];
        }
    }
    // The random boards must exercise both answers, or the comparison proves little.
    constexpr int kBoards = 5 * kBoardsPerKind;
    std::cout << "[ measured ] " << kBoards << " boards, " << boardsWithFours
              << " with four in a line, " << ties << " full, " << tiesWithoutFour
              << " of them without four\n";
    EXPECT_GT(boardsWithFours, kBoards / 2);
    EXPECT_GT(kBoards - boardsWithFours, kBoards / 20);
    EXPECT_GT(ties, kBoardsPerKind);
    EXPECT_GT(tiesWithoutFour, 10);
}

}  // namespace
