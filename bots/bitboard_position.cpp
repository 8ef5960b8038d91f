#include "bots/bitboard_position.h"

std::optional<BitboardPosition> BitboardPosition::FromMoves(std::string_view moves) {
    BitboardPosition position;
    for (const char ch : moves) {
        const int column = ch - '0';
        if (!position.CanPlay(column)) {
            return std::nullopt;
        }
        position.Play(column);
    }
    return position;
}

std::optional<BitboardPosition> BitboardPosition::FromRows(
    const std::array<std::string_view, 6>& rows) {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    int firstCount = 0;
    int secondCount = 0;
    for (int column = 1; column <= kColumns; ++column) {
        bool emptyBelow = false;
        for (int row = 1; row <= kRows; ++row) {
            const std::string_view line = rows[static_cast<std::size_t>(kRows - row)];
            if (line.size() != static_cast<std::size_t>(kColumns)) {
                return std::nullopt;
            }
            const char cell = line[static_cast<std::size_t>(column - 1)];
            if (cell == '.') {
                emptyBelow = true;
                continue;
            }
            if ((cell != 'x' && cell != 'o') || emptyBelow) {
                return std::nullopt;
            }
            if (cell == 'x') {
                first |= CellMask(column, row);
                ++firstCount;
            } else {
                second |= CellMask(column, row);
                ++secondCount;
            }
        }
    }
    if (firstCount != secondCount && firstCount != secondCount + 1) {
        return std::nullopt;
    }
    BitboardPosition position;
    position.m_moves = firstCount + secondCount;
    position.m_mask = first | second;
    position.m_current = position.FirstMoverToMove() ? first : second;
    return position;
}

bool BitboardPosition::CanPlay(int column) const {
    if (column < 1 || column > kColumns) {
        return false;
    }
    return (m_mask & CellMask(column, kRows)) == 0;
}

std::optional<BitboardPosition> BitboardPosition::Before(int column) const {
    const std::uint64_t discs = m_mask & ColumnMask(column);
    if (discs == 0) {
        return std::nullopt;
    }
    const std::uint64_t top = std::uint64_t{1} << (63 - std::countl_zero(discs));
    const std::uint64_t lastMover = m_current ^ m_mask;
    if ((lastMover & top) == 0) {
        return std::nullopt;
    }
    BitboardPosition before;
    before.m_current = lastMover ^ top;
    before.m_mask = m_mask ^ top;
    before.m_moves = m_moves - 1;
    return before;
}

bool BitboardPosition::IsWinningMove(int column) const {
    const std::uint64_t cell = (m_mask + CellMask(column, 1)) & ColumnMask(column);
    return HasFour(m_current | cell);
}

bool BitboardPosition::LastMoverHasFour() const {
    return HasFour(m_current ^ m_mask);
}

char BitboardPosition::CellAt(int column, int row) const {
    const std::uint64_t cell = CellMask(column, row);
    if ((m_mask & cell) == 0) {
        return '.';
    }
    const bool ownDisc = (m_current & cell) != 0;
    return ownDisc == FirstMoverToMove() ? 'x' : 'o';
}

std::string BitboardPosition::ToRows() const {
    std::string text;
    for (int row = kRows; row >= 1; --row) {
        for (int column = 1; column <= kColumns; ++column) {
            text += CellAt(column, row);
        }
        text += '\n';
    }
    return text;
}

bool BitboardPosition::HasFour(std::uint64_t discs) {
    // For each direction (shift 1 vertical, kStride horizontal, kStride - 1 and kStride + 1 the
    // diagonals), a pair of neighbours ANDed with a pair two steps further is a line of four.
    for (const int shift : {1, kStride, kStride - 1, kStride + 1}) {
        const std::uint64_t pairs = discs & (discs >> shift);
        if ((pairs & (pairs >> (2 * shift))) != 0) {
            return true;
        }
    }
    return false;
}
