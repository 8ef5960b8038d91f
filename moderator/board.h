#pragma once

#include "moderator/result_kind.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The referee's record of one game: which disc lies in each cell and how full each column is, the
// application of moves and the search for four in a line. Plain data with no knowledge of the
// window, so that the moderator window and a headless match runner share one definition of the
// rules; detection returns what it found and leaves announcing it to the caller.
//
// Columns are 1..7 from left to right and rows 1..6 from bottom to top. The arrays are indexed
// directly by these numbers, so they also have a column 0 and a row 0, which never hold a disc.
// A cell holds 0 (empty), 1 (a disc of player 1) or 2 (a disc of player 2).
//
// Not synchronised: one thread at a time (the window thread in the moderator).
class Board {
public:
    static constexpr std::int32_t kColumns = 7;
    static constexpr std::int32_t kRows = 6;
    // The height of a full column: the row a further disc would fall into.
    static constexpr std::int32_t kFullHeight = kRows + 1;

    // An empty board.
    Board();

    // Empties every cell (index 0 included) and sets every height (index 0 included) to 1.
    void Clear();

    // The disc at (col, row): 0, 1 or 2; 0 for any index outside the arrays (0..7 x 0..6).
    std::int32_t At(std::int32_t col, std::int32_t row) const;

    // The row the next disc of column `col` falls into: 1 for an empty column, kFullHeight for a
    // full one; 0 for an index outside 0..7.
    std::int32_t Height(std::int32_t col) const;

    // Drops a disc of `player` into `column` and returns the row it lands in. A column outside
    // 1..7 or a full column is an illegal move: nothing changes and the result is empty. A player
    // other than 1 or 2 is refused the same way, so that cells only ever hold 0, 1 or 2.
    std::optional<std::int32_t> Drop(std::int32_t column, std::int32_t player);

    // Walks one line from (col, row) in steps of (dcol, drow) while col is at most 7 and row lies
    // in 1..6, counting runs of equal discs; every disc that makes a run 4 or longer adds its
    // owner's kind, so a run of n >= 4 gives n - 3 entries, at its 4th and later discs. An empty
    // cell or the other player's disc ends a run. Besides those bounds the walk also ends below
    // column 0, and after the first cell when the step is (0, 0), so that no call can index
    // outside the arrays or run for ever.
    std::vector<ResultKind> ScanLine(std::int32_t col, std::int32_t row, std::int32_t dcol,
                                     std::int32_t drow) const;

    // Everything a check of the whole board announces, in announcement order: the seven columns
    // upward, the six rows left to right, the rising diagonals from the left edge (rows 1..3) and
    // from the bottom edge (columns 2..4), the falling diagonals from the left edge (rows 4..6)
    // and from the top edge (columns 2..4), each as ScanLine reports it; then ResultTie when every
    // column is full, whether or not the scans found four in a line. Empty when there is nothing
    // to announce.
    std::vector<ResultKind> CheckBoard() const;

    // True when columns 1..7 are all full.
    bool IsFull() const;

    // A board from six rows of seven characters, top row first: '.' empty, '1' and '2' discs.
    // Any filling is accepted, also one that no game reaches (a disc above an empty cell); a
    // column's height is the row above its topmost disc. Empty when a row has another length or
    // another character.
    static std::optional<Board> FromRows(const std::array<std::string_view, kRows>& rows);

    // The board in the form FromRows reads, top row first.
    std::array<std::string, kRows> ToRows() const;

    bool operator==(const Board&) const = default;

private:
    void ScanInto(std::int32_t col, std::int32_t row, std::int32_t dcol, std::int32_t drow,
                  std::vector<ResultKind>& found) const;

    // m_board[col][row], 0..7 x 0..6.
    std::array<std::array<std::int32_t, kRows + 1>, kColumns + 1> m_board{};
    // m_heights[col], 0..7.
    std::array<std::int32_t, kColumns + 1> m_heights{};
};
