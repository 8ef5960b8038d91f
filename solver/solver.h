#pragma once

#include "bots/bitboard_position.h"
#include "solver/opening_book.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Solves four-in-a-row positions exactly: the score of a position for the side to move is 0 for a
// draw with perfect play; when the side to move wins, 22 minus the number of discs the winner has
// played when the game ends (a faster win scores higher: 1 for the empty board, won on the first
// mover's 21st disc); when it loses, that number minus 22.
//
// The search: negamax with alpha-beta on a bitboard, null-window searches that narrow the score
// from its possible range, moves ordered centre first and then by the threats they create, moves
// that hand the opponent an immediate win never tried, and a transposition table of upper and
// lower bounds.
// Positions the opening book covers are answered from it, and the searches of positions one or two
// discs beyond it start from what it says of the positions before them; without a book, or
// further beyond its depth, positions near the start of a game take seconds or more.
//
// One solver per calling thread; with UseThreads, a solver shares the work of each large search
// among threads of its own. The table is kept between calls, so solving the positions of one game
// in turn reuses what was found.
class Solver {
public:
    static constexpr int kMinScore = -(BitboardPosition::kCells) / 2 + 3;
    static constexpr int kMaxScore = (BitboardPosition::kCells + 1) / 2 - 3;

    // The score of a position of `moves` discs in which the side to move wins with its next disc.
    static constexpr int WinNowScore(int moves) {
        return (BitboardPosition::kCells + 1 - moves) / 2;
    }

    // A solver with a table of 2^log2Entries entries (8 bytes each). Precondition:
    // 18 <= log2Entries <= 30. The default, 8 MB, mostly stays in the processor's cache, and a
    // search reads the table at nearly every node: larger tables save a few nodes and make each
    // slower, even in the book's generation.
    explicit Solver(int log2Entries = 20);
    ~Solver();

    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    // The score of `position`. Precondition: nobody has four in a line yet (a full board is a
    // draw, 0).
    //
    // `atLeast`, when given, is a proven lower bound on the score, from which the search starts;
    // also its guess of the score, when no better one is known. In a game, each position is worth
    // at least the negated score of the one before it and of the one after it, since no move is
    // worth more to its mover than the position it was played from; exactly that after a best
    // move. So a bot knows the bound from its own last move, whatever the reply, and positions
    // solved in turn know it from their neighbour. A wrong bound makes a wrong score.
    int Solve(const BitboardPosition& position, std::optional<int> atLeast = std::nullopt);

    // The score of each move (index 0 for column 1) from the mover's side: what the position is
    // worth after it; nothing for a full column. Precondition as Solve.
    std::array<std::optional<int>, BitboardPosition::kColumns> MoveScores(
        const BitboardPosition& position);

    // The score of `position` and the columns of the moves that keep it, most central first:
    // cheaper than MoveScores, as each other move is only shown to be worse, never scored. With
    // Moves::MostCentral only the first of them, cheaper still: it can be known to keep the score
    // from the others being worse, unproven, and they are searched only as far as that takes.
    // Precondition as Solve, and a free column; `atLeast` as for Solve.
    enum class Moves { All, MostCentral };
    std::pair<int, std::vector<int>> BestMoves(const BitboardPosition& position,
                                               Moves which = Moves::All,
                                               std::optional<int> atLeast = std::nullopt);
    // The score of `position` and the first column in `order` whose move keeps it: with a
    // shuffled order, a best move drawn at random, each as likely as the others, for the cost of
    // Moves::MostCentral. Precondition as BestMoves, and `order` holds each column 1..7 once.
    std::pair<int, int> BestMove(const BitboardPosition& position,
                                 const std::array<int, BitboardPosition::kColumns>& order,
                                 std::optional<int> atLeast = std::nullopt);

    // Thrown out of a search once the stop condition holds.
    struct Stopped {};
    // Makes searches test `stop` every few thousand nodes and throw Stopped once it returns true
    // (the table keeps only what whole searches found); an empty function: never stop. With more
    // than one thread, each of them calls it.
    void StopWhen(std::function<bool()> stop) { m_stop = std::move(stop); }

    // Shares the search of each position with many discs still to play among `threads` threads
    // (1, the default: the calling thread alone). With `after`, the other threads join a call of
    // Solve, MoveScores, BestMoves or BestMove only once it has run that long, so that the many
    // quick calls stay on one processor and only the rare long ones are shared. The scores and
    // moves stay the same. Precondition: threads >= 1.
    void UseThreads(int threads, std::chrono::steady_clock::duration after = {});
    // The processors of the machine, the threads the programs use unless told otherwise.
    static int Processors();

    // Answers positions with at most book->Depth() discs from `book` (which must outlive the
    // solver); nullptr for none.
    void UseBook(const OpeningBook* book) { m_book = book; }

    // Nodes searched since the solver was made.
    std::uint64_t Nodes() const { return m_nodes; }

    // Forgets the table.
    void Reset();

private:
    struct Table;

    // A helper of the solver `owner`, searching in its table.
    Solver(const Solver& owner, std::function<bool()> stop);

    // Negamax; with kSplit, once the first move has decided nothing (so that every other move
    // has to be searched), an idle thread shares the other moves.
    template <bool kSplit>
    int Search(const BitboardPosition& position, int alpha, int beta);
    int Negamax(const BitboardPosition& position, int alpha, int beta) {
        return Search<false>(position, alpha, beta);
    }
    // Search<true> at positions with few enough discs to be worth splitting, else Negamax.
    int SplitSearch(const BitboardPosition& position, int alpha, int beta);
    // Claims one of the idle threads, if any.
    bool TakeIdleThread();
    // Negamax(position, score, score + 1), split among the threads when there are any.
    int NullWindow(const BitboardPosition& position, int score);
    // The best of -Negamax(child, -beta, -alpha) over the `count` moves, or the first of them to
    // reach beta, with the moves shared with a thread claimed by TakeIdleThread, which it gives
    // back.
    int SearchShared(const BitboardPosition& position, const std::uint64_t* moves, int count,
                     int alpha, int beta);
    // What the book tells of a position just beyond its depth, from the positions it came from.
    struct Hint {
        int low;    // a proven lower bound on the score
        int guess;  // the likeliest score, at least low
    };
    std::optional<Hint> BookHint(const BitboardPosition& position) const;
    // BestMoves for moves tried in `order`: every move that keeps the score, or only the first.
    std::pair<int, std::vector<int>> KeepingMoves(
        const BitboardPosition& position, const std::array<int, BitboardPosition::kColumns>& order,
        bool all, std::optional<int> atLeast);
    // True when the score of `position` is at most `score`. Precondition as Solve.
    bool AtMost(const BitboardPosition& position, int score);

    std::shared_ptr<Table> m_table;
    const OpeningBook* m_book = nullptr;
    std::function<bool()> m_stop;
    // Threads that may still be started, shared by the solver and its helpers.
    std::shared_ptr<std::atomic<int>> m_idleThreads;
    // None are started before this time: `m_shareAfter` after the outermost public call began.
    std::chrono::steady_clock::duration m_shareAfter{};
    std::chrono::steady_clock::time_point m_shareFrom;
    int m_calls = 0;  // public calls under way, nested ones included
    struct Call;
    std::uint64_t m_nodes = 0;
};
