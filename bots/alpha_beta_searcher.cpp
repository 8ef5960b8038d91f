#include "bots/alpha_beta_searcher.h"

#include <algorithm>
#include <bit>

namespace {

constexpr int kInfinity = 10 * AlphaBetaSearcher::kWinBase;
// How often (in visited positions) the clock is read; a few microseconds of search at most.
constexpr std::uint64_t kClockInterval = 1024;

std::uint64_t ColumnsMask(std::initializer_list<int> columns) {
    std::uint64_t mask = 0;
    for (const int column : columns) {
        mask |= BitboardPosition::ColumnMask(column);
    }
    return mask;
}

}  // namespace

std::string SearchResult::Describe() const {
    if (depth == 0) {
        // Decided before any search: the opening, an immediate win, a forced or a hopeless move.
        return proven ? (score > 0 ? "immediate win" : "every move loses") : "no search needed";
    }
    std::string text = "depth " + std::to_string(depth) + " score " + (score > 0 ? "+" : "") +
                       std::to_string(score) + " nodes " + std::to_string(nodes);
    if (proven) {
        text += score > 0 ? " (proven win)" : score < 0 ? " (proven loss)" : " (proven draw)";
    }
    return text;
}

AlphaBetaSearcher::AlphaBetaSearcher(int tableLog2Slots) : m_table(tableLog2Slots) {}

SearchResult AlphaBetaSearcher::FindMove(const BitboardPosition& position,
                                         std::chrono::milliseconds budget) {
    if (position.MoveCount() == 0) {
        // The game is solved: only the centre wins for the first mover. A search from the empty
        // board reaches nowhere near that depth and its heuristic may prefer a drawing column.
        SearchResult opening;
        opening.column = 4;
        return opening;
    }
    return Search(position, BitboardPosition::kCells, Clock::now() + budget);
}

SearchResult AlphaBetaSearcher::SearchToDepth(const BitboardPosition& position, int maxDepth) {
    return Search(position, maxDepth, std::nullopt);
}

SearchResult AlphaBetaSearcher::Search(const BitboardPosition& position, int maxDepth,
                                       std::optional<Clock::time_point> deadline) {
    SearchResult result;
    const int moves = position.MoveCount();
    if (position.Playable() == 0) {
        return result;
    }
    for (const int column : BitboardPosition::kCentreOut) {
        if (position.CanPlay(column) && position.IsWinningMove(column)) {
            result.column = column;
            result.score = WinScore(moves + 1);
            result.proven = true;
            return result;
        }
    }
    const std::uint64_t candidates = position.NonLosingMoves();
    if (candidates == 0) {
        // Every move loses at once; block one of the threats anyway, so that a weak opponent
        // still has to find the other.
        const std::uint64_t threats = position.Playable() & position.OpponentWinningCells();
        const std::uint64_t pool = threats != 0 ? threats : position.Playable();
        std::array<int, BitboardPosition::kColumns> order{};
        OrderMoves(position, pool, 0, order);
        result.column = order[0];
        result.score = -WinScore(moves + 2);
        result.proven = true;
        return result;
    }
    const bool single = (candidates & (candidates - 1)) == 0;
    if (single && deadline) {
        result.column =
            BitboardPosition::ColumnOf(candidates);  // forced: a block, or the only safe
        return result;                               // move; nothing to weigh
    }

    m_deadline = deadline;
    m_nodes = 0;
    m_stopped = false;
    const int remaining = BitboardPosition::kCells - moves;
    const int lastDepth = std::min(maxDepth, remaining);
    int preferred = 0;
    for (int depth = 1; depth <= lastDepth; ++depth) {
        std::array<int, BitboardPosition::kColumns> order{};
        const int count = OrderMoves(position, candidates, preferred, order);
        int alpha = -kInfinity;
        int bestColumn = 0;
        for (int i = 0; i < count; ++i) {
            BitboardPosition child = position;
            child.Play(order[static_cast<std::size_t>(i)]);
            const int score = -Negamax(child, depth - 1, -kInfinity, -alpha);
            // The first ply of the first iteration always completes, whatever the clock says,
            // so that there is a move to return.
            if (m_stopped && (depth > 1 || bestColumn != 0)) {
                break;
            }
            if (score > alpha) {
                alpha = score;
                bestColumn = order[static_cast<std::size_t>(i)];
            }
        }
        if (m_stopped && depth > 1) {
            break;  // an unfinished iteration proves nothing; keep the last finished one
        }
        result.column = bestColumn;
        result.score = alpha;
        result.depth = depth;
        preferred = bestColumn;
        if (IsDecisive(alpha) || depth == remaining) {
            result.proven = true;
            break;
        }
        if (m_stopped || OutOfTime()) {
            break;
        }
    }
    result.nodes = m_nodes;
    return result;
}

int AlphaBetaSearcher::Negamax(const BitboardPosition& position, int depth, int alpha, int beta) {
    if (m_stopped) {
        return 0;
    }
    if (++m_nodes % kClockInterval == 0 && OutOfTime()) {
        m_stopped = true;
        return 0;
    }
    const int moves = position.MoveCount();
    if (moves == BitboardPosition::kCells) {
        return 0;
    }
    if (position.CanWinNext()) {
        return WinScore(moves + 1);
    }
    const std::uint64_t candidates = position.NonLosingMoves();
    if (candidates == 0) {
        return -WinScore(moves + 2);
    }
    if (moves >= BitboardPosition::kCells - 2) {
        return 0;  // two cells left, neither side can win with them (both checked above)
    }
    // Neither side can win sooner than this: the side to move has no immediate win, and its
    // non-losing moves leave the opponent none either.
    const int maxScore = WinScore(moves + 3);
    if (beta > maxScore) {
        beta = maxScore;
        if (alpha >= beta) {
            return beta;
        }
    }
    const int minScore = -WinScore(moves + 4);
    if (alpha < minScore) {
        alpha = minScore;
        if (alpha >= beta) {
            return alpha;
        }
    }
    if (depth <= 0) {
        return std::clamp(Evaluate(position), minScore, maxScore);
    }

    const std::uint64_t key = position.Key();
    const int alphaAtEntry = alpha;
    int preferred = 0;
    if (const TranspositionTable::Entry* entry = m_table.Probe(key)) {
        preferred = entry->move;
        if (entry->depth >= depth) {
            switch (entry->bound) {
                case TranspositionTable::Bound::Exact:
                    return entry->score;
                case TranspositionTable::Bound::Lower:
                    alpha = std::max(alpha, static_cast<int>(entry->score));
                    break;
                case TranspositionTable::Bound::Upper:
                    beta = std::min(beta, static_cast<int>(entry->score));
                    break;
            }
            if (alpha >= beta) {
                return entry->score;
            }
        }
    }

    std::array<int, BitboardPosition::kColumns> order{};
    const int count = OrderMoves(position, candidates, preferred, order);
    int best = -kInfinity;
    int bestColumn = 0;
    for (int i = 0; i < count; ++i) {
        const int column = order[static_cast<std::size_t>(i)];
        BitboardPosition child = position;
        child.Play(column);
        const int score = -Negamax(child, depth - 1, -beta, -alpha);
        if (m_stopped) {
            return 0;
        }
        if (score > best) {
            best = score;
            bestColumn = column;
        }
        alpha = std::max(alpha, score);
        if (alpha >= beta) {
            break;
        }
    }
    const TranspositionTable::Bound bound = best <= alphaAtEntry ? TranspositionTable::Bound::Upper
                                            : best >= beta       ? TranspositionTable::Bound::Lower
                                                                 : TranspositionTable::Bound::Exact;
    m_table.Store(key, depth, best, bound, bestColumn);
    return best;
}

int AlphaBetaSearcher::Evaluate(const BitboardPosition& position) {
    static const std::uint64_t centre = ColumnsMask({4});
    static const std::uint64_t inner = ColumnsMask({3, 5});
    static const std::uint64_t outer = ColumnsMask({2, 6});
    static const std::uint64_t oddRows = [] {
        std::uint64_t rows = 0;
        for (int column = 1; column <= BitboardPosition::kColumns; ++column) {
            for (const int row : {1, 3, 5}) {
                rows |= BitboardPosition::CellMask(column, row);
            }
        }
        return rows;
    }();
    const auto weight = [](std::uint64_t discs) {
        return 3 * std::popcount(discs & centre) + 2 * std::popcount(discs & inner) +
               std::popcount(discs & outer);
    };
    // Late in a game the columns fill up in turn, and the first mover tends to get the odd rows,
    // the second mover the even ones: a winning cell on its own parity is worth more to a side.
    const std::uint64_t own = position.OwnWinningCells();
    const std::uint64_t opponent = position.OpponentWinningCells();
    const std::uint64_t ownParity = position.FirstMoverToMove() ? oddRows : ~oddRows;
    const int threats = 3 * (std::popcount(own) - std::popcount(opponent)) +
                        2 * (std::popcount(own & ownParity) - std::popcount(opponent & ~ownParity));
    return threats + weight(position.OwnDiscs()) - weight(position.OpponentDiscs());
}

int AlphaBetaSearcher::OrderMoves(const BitboardPosition& position, std::uint64_t moves,
                                  int preferred,
                                  std::array<int, BitboardPosition::kColumns>& order) {
    std::array<int, BitboardPosition::kColumns> threats{};
    int count = 0;
    for (const int column : BitboardPosition::kCentreOut) {
        const std::uint64_t cell = moves & BitboardPosition::ColumnMask(column);
        if (cell == 0) {
            continue;
        }
        // The preferred move sorts before everything else; the rest by how many winning cells
        // they leave the mover, and, being stable, from the centre out among equals.
        const int weight = column == preferred ? 1000 : position.ThreatsAfter(cell);
        int i = count++;
        while (i > 0 && threats[static_cast<std::size_t>(i - 1)] < weight) {
            order[static_cast<std::size_t>(i)] = order[static_cast<std::size_t>(i - 1)];
            threats[static_cast<std::size_t>(i)] = threats[static_cast<std::size_t>(i - 1)];
            --i;
        }
        order[static_cast<std::size_t>(i)] = column;
        threats[static_cast<std::size_t>(i)] = weight;
    }
    return count;
}

bool AlphaBetaSearcher::OutOfTime() {
    return m_deadline && Clock::now() >= *m_deadline;
}
