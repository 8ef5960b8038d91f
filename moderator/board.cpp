#include "moderator/board.h"

namespace {

bool InArrays(std::int32_t col, std::int32_t row) {
    return col >= 0 && col <= Board::kColumns && row >= 0 && row <= Board::kRows;
}

}  // namespace

Board::Board() {
    Clear();
}

void Board::Clear() {
    for (std::size_t col = 0; col < m_board.size(); ++col) {
        m_board[col].fill(0);
        m_heights[col] = 1;
    }
}

std::int32_t Board::At(std::int32_t col, std::int32_t row) const {
    return InArrays(col, row) ? m_board[col][row] : 0;
}

std::int32_t Board::Height(std::int32_t col) const {
    return col >= 0 && col <= kColumns ? m_heights[col] : 0;
}

std::optional<std::int32_t> Board::Drop(std::int32_t column, std::int32_t player) {
    if (column < 1 || column > kColumns || (player != 1 && player != 2)) {
        return std::nullopt;
    }
    const std::int32_t row = m_heights[column];
    if (row >= kFullHeight) {
        return std::nullopt;
    }
    m_board[column][row] = player;
    m_heights[column] = row + 1;
    return row;
}

std::vector<ResultKind> Board::ScanLine(std::int32_t col, std::int32_t row, std::int32_t dcol,
                                        std::int32_t drow) const {
    std::vector<ResultKind> found;
    ScanInto(col, row, dcol, drow, found);
    return found;
}

void Board::ScanInto(std::int32_t col, std::int32_t row, std::int32_t dcol, std::int32_t drow,
                     std::vector<ResultKind>& found) const {
    // 64-bit positions: a large step cannot overflow on its way off the board.
    std::int64_t c = col;
    std::int64_t r = row;
    std::int32_t count = 0;
    std::int32_t owner = 0;
    while (c >= 0 && c <= kColumns && r >= 1 && r <= kRows) {
        const std::int32_t v = m_board[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)];
        if (v == 0) {
            count = 0;
            owner = 0;
        } else if (v == owner) {
            ++count;
            if (count >= 4) {
                found.push_back(static_cast<ResultKind>(owner));
            }
        } else {
            owner = v;
            count = 1;
        }
        if (dcol == 0 && drow == 0) {
            break;
        }
        c += dcol;
        r += drow;
    }
}

std::vector<ResultKind> Board::CheckBoard() const {
    std::vector<ResultKind> found;
    for (std::int32_t i = 1; i <= kColumns; ++i) {
        ScanInto(i, 1, 0, +1, found);
    }
    for (std::int32_t j = 1; j <= kRows; ++j) {
        ScanInto(1, j, +1, 0, found);
    }
    for (std::int32_t k = 1; k <= 3; ++k) {
        ScanInto(1, k, +1, +1, found);
    }
    for (std::int32_t l = 2; l <= 4; ++l) {
        ScanInto(l, 1, +1, +1, found);
    }
    for (std::int32_t m = 4; m <= 6; ++m) {
        ScanInto(1, m, +1, -1, found);
    }
    for (std::int32_t a = 2; a <= 4; ++a) {
        ScanInto(a, 6, +1, -1, found);
    }
    if (IsFull()) {
        found.push_back(ResultTie);
    }
    return found;
}

bool Board::IsFull() const {
    for (std::int32_t col = 1; col <= kColumns; ++col) {
        if (m_heights[col] != kFullHeight) {
            return false;
        }
    }
    return true;
}

std::optional<Board> Board::FromRows(const std::array<std::string_view, kRows>& rows) {
    Board board;
    for (std::int32_t line = 0; line < kRows; ++line) {
        const std::string_view text = rows[line];
        if (text.size() != kColumns) {
            return std::nullopt;
        }
        const std::int32_t row = kRows - line;
        for (std::int32_t col = 1; col <= kColumns; ++col) {
            const char c = text[col - 1];
            if (c == '.') {
                continue;
            }
            if (c != '1' && c != '2') {
                return std::nullopt;
            }
            board.m_board[col][row] = c - '0';
            if (board.m_heights[col] <= row) {
                board.m_heights[col] = row + 1;
            }
        }
    }
    return board;
}

std::array<std::string, Board::kRows> Board::ToRows() const {
    std::array<std::string, kRows> rows;
    for (std::int32_t line = 0; line < kRows; ++line) {
        const std::int32_t row = kRows - line;
        for (std::int32_t col = 1; col <= kColumns; ++col) {
            const std::int32_t v = m_board[col][row];
            rows[line].push_back(v == 0 ? '.' : static_cast<char>('0' + v));
        }
    }
    return rows;
}
