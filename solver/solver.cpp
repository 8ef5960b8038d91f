#include "solver/solver.h"

#include <bit>
#include <memory>

namespace {

constexpr int kCells = BitboardPosition::kCells;
// Centre first: central columns take part in more lines.
constexpr int kColumnOrder[BitboardPosition::kColumns] = {4, 3, 5, 2, 6, 1, 7};
// The stop condition is tested once every 16384 nodes, about every millisecond.
constexpr std::uint64_t kStopCheckMask = (1 << 14) - 1;

// The smallest prime at or above `n`.
std::size_t NextPrime(std::size_t n) {
    const auto prime = [](std::size_t value) {
        if (value < 2) {
            return false;
        }
        for (std::size_t d = 2; d * d <= value; ++d) {
            if (value % d == 0) {
                return false;
            }
        }
        return true;
    };
    while (!prime(n)) {
        ++n;
    }
    return n;
}

}  // namespace

// Bounds on scores by position. A prime number of slots: the slot is the key modulo that prime
// and the slot keeps the key's low 32 bits, which together tell any two 49-bit keys apart
// (the product of the two moduli is above 2^49), so no full key need be stored. A value of 0 marks
// an empty slot; values up to kMaxScore - kMinScore + 1 are upper bounds, larger ones lower
// bounds.
struct Solver::Table {
    explicit Table(std::size_t slots) : keys(slots), values(slots) {}

    void Put(std::uint64_t key, std::uint8_t value) {
        const std::size_t slot = key % keys.size();
        keys[slot] = static_cast<std::uint32_t>(key);
        values[slot] = value;
    }
    std::uint8_t Get(std::uint64_t key) const {
        const std::size_t slot = key % keys.size();
        return keys[slot] == static_cast<std::uint32_t>(key) ? values[slot] : 0;
    }
    void Clear() {
        std::fill(keys.begin(), keys.end(), 0);
        std::fill(values.begin(), values.end(), 0);
    }

    std::vector<std::uint32_t> keys;
    std::vector<std::uint8_t> values;
};

Solver::Solver(int log2Entries)
    : m_table(std::make_unique<Table>(NextPrime(std::size_t{1} << log2Entries))) {}

Solver::~Solver() = default;

void Solver::Reset() {
    m_table->Clear();
}

int Solver::Negamax(const BitboardPosition& position, int alpha, int beta) {
    if ((++m_nodes & kStopCheckMask) == 0 && m_stop && m_stop()) {
        throw Stopped{};
    }
    const int moves = position.MoveCount();
    const std::uint64_t next = position.NonLosingMoves();
    if (next == 0) {
        // Every move lets the opponent win at once.
        return -(kCells - moves) / 2;
    }
    if (moves >= kCells - 2) {
        // The opponent cannot win with the last disc: a draw.
        return 0;
    }
    // The opponent cannot win at its next move, so at best on its move after.
    const int lowest = -(kCells - 2 - moves) / 2;
    if (alpha < lowest) {
        alpha = lowest;
        if (alpha >= beta) {
            return alpha;
        }
    }
    // Nor can the side to move win with its next disc (no move wins at once here).
    int highest = (kCells - 1 - moves) / 2;
    const std::uint64_t key = position.Key();
    if (const std::uint8_t value = m_table->Get(key); value != 0) {
        if (value > kMaxScore - kMinScore + 1) {
            const int lower = value + 2 * kMinScore - kMaxScore - 2;
            if (alpha < lower) {
                alpha = lower;
                if (alpha >= beta) {
                    return alpha;
                }
            }
        } else {
            highest = value + kMinScore - 1;
        }
    }
    if (beta > highest) {
        beta = highest;
        if (alpha >= beta) {
            return beta;
        }
    }
    // The non-losing moves, most threats first, centre first among equals (a stable insertion).
    std::uint64_t candidates[BitboardPosition::kColumns];
    int threats[BitboardPosition::kColumns];
    int count = 0;
    for (const int column : kColumnOrder) {
        const std::uint64_t move = next & BitboardPosition::ColumnMask(column);
        if (move == 0) {
            continue;
        }
        const int score = position.ThreatsAfter(move);
        int at = count++;
        while (at > 0 && threats[at - 1] < score) {
            candidates[at] = candidates[at - 1];
            threats[at] = threats[at - 1];
            --at;
        }
        candidates[at] = move;
        threats[at] = score;
    }

    for (int i = 0; i < count; ++i) {
        BitboardPosition child = position;
        child.Play(BitboardPosition::ColumnOf(candidates[i]));
        const int score = -Negamax(child, -beta, -alpha);
        if (score >= beta) {
            m_table->Put(key, static_cast<std::uint8_t>(score + kMaxScore - 2 * kMinScore + 2));
            return score;
        }
        if (score > alpha) {
            alpha = score;
        }
    }
    m_table->Put(key, static_cast<std::uint8_t>(alpha - kMinScore + 1));
    return alpha;
}

int Solver::Solve(const BitboardPosition& position) {
    const int moves = position.MoveCount();
    if (moves == kCells) {
        return 0;
    }
    if (position.CanWinNext()) {
        return (kCells + 1 - moves) / 2;
    }
    if (m_book != nullptr && moves <= m_book->Depth()) {
        if (const std::optional<int> score = m_book->Score(position)) {
            return *score;
        }
    }
    int low = -(kCells - moves) / 2;
    int high = (kCells + 1 - moves) / 2;
    // Null-window searches, each halving the range; probing near 0 first, where most values lie.
    while (low < high) {
        int probe = low + (high - low) / 2;
        if (probe <= 0 && low / 2 < probe) {
            probe = low / 2;
        } else if (probe >= 0 && high / 2 > probe) {
            probe = high / 2;
        }
        const int result = Negamax(position, probe, probe + 1);
        if (result <= probe) {
            high = result;
        } else {
            low = result;
        }
    }
    return low;
}

std::array<std::optional<int>, BitboardPosition::kColumns> Solver::MoveScores(
    const BitboardPosition& position) {
    std::array<std::optional<int>, BitboardPosition::kColumns> scores;
    for (int column = 1; column <= BitboardPosition::kColumns; ++column) {
        if (!position.CanPlay(column)) {
            continue;
        }
        if (position.IsWinningMove(column)) {
            scores[column - 1] = (kCells + 1 - position.MoveCount()) / 2;
            continue;
        }
        BitboardPosition child = position;
        child.Play(column);
        scores[column - 1] = -Solve(child);
    }
    return scores;
}

bool Solver::AtMost(const BitboardPosition& position, int score) {
    const int moves = position.MoveCount();
    if (moves == kCells || position.CanWinNext() ||
        (m_book != nullptr && moves <= m_book->Depth())) {
        return Solve(position) <= score;
    }
    return Negamax(position, score, score + 1) <= score;
}

std::pair<int, std::vector<int>> Solver::BestMoves(const BitboardPosition& position) {
    const int best = Solve(position);
    std::vector<int> columns;
    for (const int column : kColumnOrder) {
        if (!position.CanPlay(column)) {
            continue;
        }
        if (position.IsWinningMove(column)) {
            if ((kCells + 1 - position.MoveCount()) / 2 == best) {
                columns.push_back(column);
            }
            continue;
        }
        BitboardPosition child = position;
        child.Play(column);
        // No move is worth more than the best, so the child is worth -best or more to the
        // opponent, and exactly that for a move that keeps the score.
        if (AtMost(child, -best)) {
            columns.push_back(column);
        }
    }
    return {best, columns};
}
