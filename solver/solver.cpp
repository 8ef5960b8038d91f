#include "solver/solver.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <vector>

namespace {

constexpr int kCells = BitboardPosition::kCells;
// Centre first: central columns take part in more lines.
constexpr int kColumnOrder[BitboardPosition::kColumns] = {4, 3, 5, 2, 6, 1, 7};
// The stop condition is tested once every 16384 nodes, about every millisecond.
constexpr std::uint64_t kStopCheckMask = (1 << 14) - 1;
// Positions with fewer discs than this look up their moves' positions in the table before
// searching any of them.
constexpr int kCutByTableBelow = 24;

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

// Bounds on scores by position. Each position has a home: its key modulo a prime. The entry keeps
// the key's low 32 bits and the home's parity, which with the home's pair tell any two 49-bit keys
// apart (the product of the two moduli is above 2^49), so no full key need be stored.
//
// Homes 2k and 2k+1 share a pair of entries in one cache line. The first of the pair keeps the
// position nearest the root seen there, as its subtree is the largest to search again; the second
// takes whatever comes. The search reads an entry for nearly every node, so the line is fetched
// ahead while the node's moves are still being sorted.
//
// An entry: bits 0-7 the value (0: empty; up to kMaxScore - kMinScore + 1 an upper bound, larger
// ones a lower bound), bits 8-40 the key's identity, bits 41-46 the discs of the position.
struct Solver::Table {
    explicit Table(std::size_t count) : homes(count), entries(count + 1) {}

    void Put(std::uint64_t key, std::uint8_t value, int moves) {
        const std::size_t home = key % homes;
        std::uint64_t* pair = &entries[home & ~std::size_t{1}];
        const std::uint64_t id = Identity(key, home);
        const std::uint64_t entry =
            static_cast<std::uint64_t>(moves) << kMovesShift | id << kIdentityShift | value;
        if (IdentityOf(pair[0]) == id) {
            pair[0] = entry;
            return;
        }
        if (IdentityOf(pair[1]) != id &&
            (pair[0] == 0 || moves <= static_cast<int>(pair[0] >> kMovesShift))) {
            // A position nearer the root takes the first entry, and the one it displaces the
            // second.
            pair[1] = pair[0];
            pair[0] = entry;
            return;
        }
        pair[1] = entry;
    }
    std::uint8_t Get(std::uint64_t key) const {
        const std::size_t home = key % homes;
        const std::uint64_t* pair = &entries[home & ~std::size_t{1}];
        const std::uint64_t id = Identity(key, home);
        for (int i = 0; i < 2; ++i) {
            if (IdentityOf(pair[i]) == id) {
                return static_cast<std::uint8_t>(pair[i]);
            }
        }
        return 0;
    }
    void Prefetch(std::uint64_t key) const {
        __builtin_prefetch(&entries[(key % homes) & ~std::size_t{1}]);
    }
    void Clear() { std::fill(entries.begin(), entries.end(), 0); }

    static constexpr int kIdentityShift = 8;
    static constexpr int kMovesShift = 41;
    static std::uint64_t Identity(std::uint64_t key, std::size_t home) {
        return static_cast<std::uint32_t>(key) | static_cast<std::uint64_t>(home & 1) << 32;
    }
    static std::uint64_t IdentityOf(std::uint64_t entry) {
        return (entry >> kIdentityShift) & ((std::uint64_t{1} << 33) - 1);
    }

    std::size_t homes;
    // One more than the homes, so that the last home has a pair too; the vector's storage is
    // aligned to 16 bytes, so a pair never straddles two cache lines.
    std::vector<std::uint64_t> entries;
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
        m_table->Prefetch(position.KeyAfter(move));
    }

    // A move to a position the table already shows to be bad enough for the opponent proves the
    // cut without a search. Worth the extra reads only where subtrees are large.
    for (int i = 0; moves < kCutByTableBelow && i < count; ++i) {
        const std::uint8_t value = m_table->Get(position.KeyAfter(candidates[i]));
        if (value != 0 && value <= kMaxScore - kMinScore + 1) {
            const int score = -(value + kMinScore - 1);
            if (score >= beta) {
                return score;
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        BitboardPosition child = position;
        child.Play(BitboardPosition::ColumnOf(candidates[i]));
        const int score = -Negamax(child, -beta, -alpha);
        if (score >= beta) {
            m_table->Put(key, static_cast<std::uint8_t>(score + kMaxScore - 2 * kMinScore + 2),
                         moves);
            return score;
        }
        if (score > alpha) {
            alpha = score;
        }
    }
    m_table->Put(key, static_cast<std::uint8_t>(alpha - kMinScore + 1), moves);
    return alpha;
}

int Solver::Solve(const BitboardPosition& position) {
    const int moves = position.MoveCount();
    if (moves == kCells) {
        return 0;
    }
    if (position.CanWinNext()) {
        return WinNowScore(moves);
    }
    if (m_book != nullptr && moves <= m_book->Depth()) {
        if (const std::optional<int> score = m_book->Score(position)) {
            return *score;
        }
    }
    int low = -(kCells - moves) / 2;
    int high = WinNowScore(moves);
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
            scores[column - 1] = WinNowScore(position.MoveCount());
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

std::pair<int, std::vector<int>> Solver::BestMoves(const BitboardPosition& position, Moves which) {
    const int best = Solve(position);
    std::vector<int> columns;
    for (const int column : kColumnOrder) {
        if (!position.CanPlay(column)) {
            continue;
        }
        bool keeps = false;
        if (position.IsWinningMove(column)) {
            keeps = WinNowScore(position.MoveCount()) == best;
        } else {
            BitboardPosition child = position;
            child.Play(column);
            // No move is worth more than the best, so the child is worth -best or more to the
            // opponent, and exactly that for a move that keeps the score.
            keeps = AtMost(child, -best);
        }
        if (keeps) {
            columns.push_back(column);
            if (which == Moves::MostCentral) {
                break;
            }
        }
    }
    return {best, columns};
}
