#include "grid_board.h"

bool GridBoard::CanPlay(int column) const {
    return column >= 1 && column <= 7 && m_heights[column - 1] < 6;
}

void GridBoard::Play(int column) {
    m_cells[column - 1][m_heights[column - 1]] = PlayerToMove();
    ++m_heights[column - 1];
    ++m_moves;
}

void GridBoard::Undo(int column) {
    --m_heights[column - 1];
    m_cells[column - 1][m_heights[column - 1]] = 0;
    --m_moves;
}

bool GridBoard::HasFour(int player) const {
    for (int column = 1; column <= 7; ++column) {
        for (int row = 1; row <= 6; ++row) {
            if (At(column, row) == player && LineThrough(column, row, player)) {
                return true;
            }
        }
    }
    return false;
}

bool GridBoard::WouldComplete(int column, int row, int player) const {
    return At(column, row) == 0 && LineThrough(column, row, player);
}

bool GridBoard::LineThrough(int column, int row, int player) const {
    // Counts `player`'s discs on both sides of the cell in each of the four directions, treating
    // the cell itself as one of them.
    const int directions[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    for (const auto& d : directions) {
        int run = 1;
        for (const int sign : {1, -1}) {
            int c = column + sign * d[0];
            int r = row + sign * d[1];
            while (c >= 1 && c <= 7 && r >= 1 && r <= 6 && At(c, r) == player) {
                ++run;
                c += sign * d[0];
                r += sign * d[1];
            }
        }
        if (run >= 4) {
            return true;
        }
    }
    return false;
}

std::string GridBoard::Rows() const {
    std::string text;
    for (int row = 6; row >= 1; --row) {
        for (int column = 1; column <= 7; ++column) {
            text += At(column, row) == 0 ? '.' : At(column, row) == 1 ? 'x' : 'o';
        }
        text += '\n';
    }
    return text;
}

std::string JoinRows(const std::array<std::string_view, 6>& rows) {
    std::string text;
    for (const std::string_view row : rows) {
        text += row;
        text += '\n';
    }
    return text;
}
