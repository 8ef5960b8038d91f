#pragma once

#include <array>
#include <string>
#include <string_view>

// The tests' own four-in-a-row board: a plain 7 x 6 grid with a brute-force line scan, written
// independently of the bots' bitboards so that it can judge them. Columns 1..7 from the left,
// rows 1..6 from the bottom; player 1 moves first.
class GridBoard {
public:
    bool CanPlay(int column) const;
    // Drops the disc of the player to move. Precondition: CanPlay(column).
    void Play(int column);
    // Takes back the last disc of `column`. Precondition: the column's top disc was the last move.
    void Undo(int column);

    // 0 empty, 1 or 2 a disc of that player.
    int At(int column, int row) const { return m_cells[column - 1][row - 1]; }
    int Height(int column) const { return m_heights[column - 1]; }
    int PlayerToMove() const { return m_moves % 2 == 0 ? 1 : 2; }
    int MoveCount() const { return m_moves; }
    bool Full() const { return m_moves == 42; }

    // True when `player` has four in a line: every cell, every direction, counted one by one.
    bool HasFour(int player) const;
    // True when a disc of `player` on the empty cell would give that player four in a line.
    bool WouldComplete(int column, int row, int player) const;
    // The board as six rows, top first, 'x' player 1, 'o' player 2, '.' empty.
    std::string Rows() const;

private:
    bool LineThrough(int column, int row, int player) const;

    std::array<std::array<int, 6>, 7> m_cells{};
    std::array<int, 7> m_heights{};
    int m_moves = 0;
};

// Six rows of a position, top first, each followed by a line end: the form positions print in.
std::string JoinRows(const std::array<std::string_view, 6>& rows);
