#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A four-in-a-row position as two 64-bit masks, the form the bots play and search on.
//
// Columns are numbered 1..7 from left to right and rows 1..6 from bottom to top, as in the game.
// Each column takes seven bits, the lowest six for its cells (bottom first) and a seventh that
// stays empty, so that shifting a line of discs across a column boundary never makes a false line.
// The masks hold the discs of the side to move and all discs; playing a move swaps the sides, which
// keeps the search free of "whose disc is this" branches.
//
// A plain value: copying is cheap and every member may run on any thread.
class BitboardPosition {
public:
    static constexpr int kColumns = 7;
    static constexpr int kRows = 6;
    static constexpr int kCells = kColumns * kRows;
    // The columns from the centre out: central discs take part in more lines, so searches try
    // these moves first, and equal moves are listed in this order.
    static constexpr std::array<int, kColumns> kCentreOut = {4, 3, 5, 2, 6, 1, 7};

    // The empty board, the first mover to move.
    BitboardPosition() = default;

    // The position after the columns in `moves` ("4453": digits 1..7, first mover first), or
    // nothing when a character is not a column or names a full column. Play goes on past a four.
    static std::optional<BitboardPosition> FromMoves(std::string_view moves);

    // The position drawn by six rows of seven characters, top row first: 'x' a disc of the first
    // mover, 'o' of the second, '.' empty. Nothing when a row has another length or character, a
    // disc floats over an empty cell, or the counts cannot arise from alternate moves (x must equal
    // o or o + 1; the side to move follows from them).
    static std::optional<BitboardPosition> FromRows(const std::array<std::string_view, 6>& rows);

    // True when `column` is 1..7 and has a free cell.
    bool CanPlay(int column) const;
    // Drops the side to move's disc into `column` and passes the move. Precondition: CanPlay.
    void Play(int column);
    // The position before the top disc of `column` was played: nothing when the column is empty
    // or its top disc is the side to move's, which cannot have been the last disc played.
    std::optional<BitboardPosition> Before(int column) const;
    // True when the side to move has four in a line once its disc is in `column` (also when it
    // had four before; the bots only ask while nobody has). Precondition: CanPlay.
    bool IsWinningMove(int column) const;
    // True when the side to move has a winning move somewhere.
    bool CanWinNext() const;
    // True when the side that has just moved has four (or more) in a line.
    bool LastMoverHasFour() const;

    int MoveCount() const { return m_moves; }
    bool IsFull() const { return m_moves == kCells; }
    // True when the first mover ('x') is to move.
    bool FirstMoverToMove() const { return m_moves % 2 == 0; }

    // 'x', 'o' or '.' for the cell at `column` 1..7 and `row` 1..6.
    char CellAt(int column, int row) const;
    // The six rows, top first, in the FromRows form; for test messages and "?" lines.
    std::string ToRows() const;

    // A number that differs for every position (the discs of the side to move plus all discs plus
    // the bottom row is unique when each column has a spare bit); fits in 49 bits.
    std::uint64_t Key() const { return m_current + m_mask + kBottomMask; }
    // The Key of the position after the side to move plays the cell `move` (a single bit of
    // Playable()).
    std::uint64_t KeyAfter(std::uint64_t move) const {
        return (m_current ^ m_mask) + (m_mask | move) + kBottomMask;
    }

    // The discs of the side to move and of its opponent.
    std::uint64_t OwnDiscs() const { return m_current; }
    std::uint64_t OpponentDiscs() const { return m_current ^ m_mask; }
    // The free cell of each playable column, as a mask.
    std::uint64_t Playable() const { return (m_mask + kBottomMask) & kBoardMask; }
    // The playable cells the side to move may take without handing the opponent an immediate win:
    // an opponent's immediate winning cell must be taken if there is one, and the cell directly
    // below an opponent's winning cell must be left alone. Empty when every move loses at once.
    std::uint64_t NonLosingMoves() const;
    // Empty cells that would complete four for the side to move, or for its opponent.
    std::uint64_t OwnWinningCells() const { return WinningCells(m_current, m_mask); }
    std::uint64_t OpponentWinningCells() const { return WinningCells(m_current ^ m_mask, m_mask); }
    // The number of empty cells that would complete four for the side to move after it plays the
    // cell `move` (a single bit of Playable()); a cheap measure of how forcing a move is.
    int ThreatsAfter(std::uint64_t move) const;

    // Masks of one column and of the cell at `column`, `row`.
    static std::uint64_t ColumnMask(int column);
    static std::uint64_t CellMask(int column, int row);
    // The column 1..7 of a single-bit cell mask.
    static int ColumnOf(std::uint64_t cell);

private:
    static constexpr int kStride = kRows + 1;
    // One bit at the bottom of each column: the geometric series 1 + 2^7 + ... + 2^42.
    static constexpr std::uint64_t kBottomMask =
        ((std::uint64_t{1} << (kColumns * kStride)) - 1) / ((std::uint64_t{1} << kStride) - 1);
    static constexpr std::uint64_t kBoardMask = kBottomMask * ((std::uint64_t{1} << kRows) - 1);

    static bool HasFour(std::uint64_t discs);
    static std::uint64_t WinningCells(std::uint64_t discs, std::uint64_t mask);

    std::uint64_t m_current = 0;  // discs of the side to move
    std::uint64_t m_mask = 0;     // all discs
    int m_moves = 0;
};

// The search calls these at every node, so they are defined here, where it can inline them.

inline void BitboardPosition::Play(int column) {
    m_current ^= m_mask;
    m_mask |= m_mask + CellMask(column, 1);
    ++m_moves;
}

inline bool BitboardPosition::CanWinNext() const {
    return (OwnWinningCells() & Playable()) != 0;
}

inline std::uint64_t BitboardPosition::NonLosingMoves() const {
    std::uint64_t moves = Playable();
    const std::uint64_t opponentWins = OpponentWinningCells();
    const std::uint64_t forced = moves & opponentWins;
    if (forced != 0) {
        if ((forced & (forced - 1)) != 0) {
            return 0;  // two cells to block at once: lost whatever we play
        }
        moves = forced;
    }
    return moves & ~(opponentWins >> 1);
}

inline int BitboardPosition::ThreatsAfter(std::uint64_t move) const {
    return std::popcount(WinningCells(m_current | move, m_mask | move));
}

inline std::uint64_t BitboardPosition::ColumnMask(int column) {
    return ((std::uint64_t{1} << kRows) - 1) << ((column - 1) * kStride);
}

inline std::uint64_t BitboardPosition::CellMask(int column, int row) {
    return std::uint64_t{1} << ((column - 1) * kStride + (row - 1));
}

inline int BitboardPosition::ColumnOf(std::uint64_t cell) {
    return std::countr_zero(cell) / kStride + 1;
}

inline std::uint64_t BitboardPosition::WinningCells(std::uint64_t discs, std::uint64_t mask) {
    // Vertical: only three discs directly below an empty cell.
    std::uint64_t cells = (discs << 1) & (discs << 2) & (discs << 3);
    // Each other direction: the empty cell can be the end of three in a row on either side, or
    // sit inside a line with one disc on one side and two on the other.
    for (const int shift : {kStride, kStride - 1, kStride + 1}) {
        std::uint64_t pair = (discs << shift) & (discs << (2 * shift));
        cells |= pair & (discs << (3 * shift));
        cells |= pair & (discs >> shift);
        pair = (discs >> shift) & (discs >> (2 * shift));
        cells |= pair & (discs << shift);
        cells |= pair & (discs >> (3 * shift));
    }
    return cells & (kBoardMask ^ mask);
}
