#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "bots/bitboard_position.h"
#include "bots/transposition_table.h"

// What a search found for the side to move.
struct SearchResult {
    int column = 0;           // the move, 1..7; 0 only when no column is free
    int score = 0;            // from the side to move's view; see AlphaBetaSearcher::WinScore
    int depth = 0;            // the deepest completed iteration, in plies (0: decided without one)
    std::uint64_t nodes = 0;  // positions visited
    bool proven = false;      // score is the game's exact value under best play by both sides

    // One line for a bot's "?" note, e.g. "depth 14 score +6 nodes 912345", or what decided the
    // move when no search was needed.
    std::string Describe() const;
};

// The strong bot's player: negamax with alpha-beta pruning over BitboardPosition, moves tried from
// the centre out (the most forcing first, and the best move of an earlier search before all),
// a transposition table, and iterative deepening that stops at a deadline or a proven result.
//
// Scores: a win whose last disc is the n-th move of the game scores WinScore(n) = 1000 - n for the
// winner and its negation for the loser, so quicker wins and slower losses are preferred and a
// score means the same whichever move order reached the position; a draw scores 0; positions cut
// off by the depth limit get a small heuristic score (open threats and central discs), well below
// any win.
//
// Single-threaded; the table persists across calls, so one searcher serves a whole game.
class AlphaBetaSearcher {
public:
    static constexpr int kWinBase = 1000;
    static constexpr int WinScore(int movesAtWin) { return kWinBase - movesAtWin; }
    // True for a score that only a forced win or loss produces.
    static constexpr bool IsDecisive(int score) {
        return score >= WinScore(BitboardPosition::kCells) ||
               score <= -WinScore(BitboardPosition::kCells);
    }

    // `tableLog2Slots`: the transposition table has 2^n slots of 16 bytes (20: 16 MiB).
    explicit AlphaBetaSearcher(int tableLog2Slots = 20);

    // The best move found within `budget` of wall-clock time. The empty board is answered with the
    // centre, an immediate win is taken and a forced move (a block, or the only move that does not
    // lose at once) is played without searching; otherwise at least one ply is always completed, so
    // a legal move comes back even with a zero budget (the answer may overrun a tiny budget by
    // that one ply).
    SearchResult FindMove(const BitboardPosition& position, std::chrono::milliseconds budget);

    // The same search without a clock, deepened up to `maxDepth` plies (or to the end of the
    // game, whichever is nearer). With maxDepth >= the number of empty cells the result is proven.
    SearchResult SearchToDepth(const BitboardPosition& position, int maxDepth);

private:
    using Clock = std::chrono::steady_clock;

    SearchResult Search(const BitboardPosition& position, int maxDepth,
                        std::optional<Clock::time_point> deadline);
    int Negamax(const BitboardPosition& position, int depth, int alpha, int beta);
    static int Evaluate(const BitboardPosition& position);
    // Fills `order` with the columns of `moves` (a mask of playable cells), best first; returns
    // how many.
    static int OrderMoves(const BitboardPosition& position, std::uint64_t moves, int preferred,
                          std::array<int, BitboardPosition::kColumns>& order);
    bool OutOfTime();

    TranspositionTable m_table;
    std::optional<Clock::time_point> m_deadline;
    std::uint64_t m_nodes = 0;
    bool m_stopped = false;
};
