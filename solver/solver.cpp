#include "solver/solver.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kCells = BitboardPosition::kCells;
// The stop condition is tested once every 16384 nodes, about every millisecond.
constexpr std::uint64_t kStopCheckMask = (1 << 14) - 1;
// Positions with fewer discs than this look up their moves' positions in the table before
// searching any of them.
constexpr int kCutByTableBelow = 24;
// Searches share work among threads only at positions with fewer discs than this, whose trees are
// large enough to repay starting a thread.
constexpr int kSplitBelow = 24;

// No move can be worth more to its mover than the position before it, so what a position is worth
// to its side to move is at least the most, over the positions it can have come from, of what each
// was worth to the side then to move, negated; and exactly that after a best move. Positions
// beyond the book are valued the same way from theirs, which gives only a likely score. Nothing
// when the book lacks an entry.
std::optional<int> ValueFromBefore(const OpeningBook& book, const BitboardPosition& after) {
    std::optional<int> value;
    for (int column = 1; column <= BitboardPosition::kColumns; ++column) {
        if (const std::optional<BitboardPosition> before = after.Before(column)) {
            const std::optional<int> score = before->MoveCount() <= book.Depth()
                                                 ? book.Score(*before)
                                                 : ValueFromBefore(book, *before);
            if (!score) {
                return std::nullopt;
            }
            value = std::max(value.value_or(-*score), -*score);
        }
    }
    return value;
}

}  // namespace

// Bounds on scores by position. A position's 49-bit key is scrambled by a multiplication modulo
// 2^49, which permutes the keys: the top bits of the product choose the position's pair of entries
// and the entry keeps the rest, so two positions never share an entry unnoticed and no full key
// need be stored.
//
// A pair is two entries in one cache line. The first keeps the position nearest the root seen
// there, as its subtree is the largest to search again; the second takes whatever comes. The
// search reads an entry for nearly every node, so the line is fetched ahead while the node's moves
// are still being sorted.
//
// An entry: bits 0-5 the upper bound and bits 6-11 the lower bound (each as score - kMinScore + 1;
// 0 for none), bits 12-17 the discs of the position, bits 18 and up the rest of the scrambled key.
// An empty entry holds no bounds, so a key that happens to match one learns nothing from it.
//
// Threads share a table: each entry is read and written whole and atomically, and holds a true
// bound of the position whose identity it carries, so a race can lose an entry but never make one
// wrong.
struct Solver::Table {
    struct Entry {
        int upper = 0;  // 0: none, else score - kMinScore + 1
        int lower = 0;  // likewise
    };

    explicit Table(int log2Entries)
        : identityBits(kKeyBits - (log2Entries - 1)), entries(std::size_t{1} << log2Entries) {}

    void Put(std::uint64_t key, Entry entry, int moves) {
        const std::uint64_t scrambled = Scramble(key);
        std::atomic<std::uint64_t>* pair = &entries[PairAt(scrambled)];
        const std::uint64_t id = scrambled & IdentityMask();
        for (int i = 0; i < 2; ++i) {
            const std::uint64_t bits = pair[i].load(std::memory_order_relaxed);
            if (IdentityOf(bits) == id) {
                // What the new search did not find, the old entry may still know.
                const Entry old = Decode(bits);
                entry.upper = entry.upper != 0 ? entry.upper : old.upper;
                entry.lower = entry.lower != 0 ? entry.lower : old.lower;
                pair[i].store(Encode(entry, moves, id), std::memory_order_relaxed);
                return;
            }
        }
        const std::uint64_t encoded = Encode(entry, moves, id);
        const std::uint64_t first = pair[0].load(std::memory_order_relaxed);
        if (first == 0 || moves <= static_cast<int>(first >> kMovesShift & 63)) {
            // A position nearer the root takes the first entry, and the one it displaces the
            // second.
            pair[1].store(first, std::memory_order_relaxed);
            pair[0].store(encoded, std::memory_order_relaxed);
            return;
        }
        pair[1].store(encoded, std::memory_order_relaxed);
    }
    Entry Get(std::uint64_t key) const {
        const std::uint64_t scrambled = Scramble(key);
        const std::atomic<std::uint64_t>* pair = &entries[PairAt(scrambled)];
        const std::uint64_t id = scrambled & IdentityMask();
        for (int i = 0; i < 2; ++i) {
            const std::uint64_t bits = pair[i].load(std::memory_order_relaxed);
            if (IdentityOf(bits) == id) {
                return Decode(bits);
            }
        }
        return {};
    }
    void Prefetch(std::uint64_t key) const { __builtin_prefetch(&entries[PairAt(Scramble(key))]); }
    void Clear() {
        for (std::atomic<std::uint64_t>& entry : entries) {
            entry.store(0, std::memory_order_relaxed);
        }
    }

    static constexpr int kMovesShift = 12;
    static constexpr int kIdentityShift = 18;
    static std::uint64_t Encode(const Entry& entry, int moves, std::uint64_t id) {
        return static_cast<std::uint64_t>(entry.upper) |
               static_cast<std::uint64_t>(entry.lower) << 6 |
               static_cast<std::uint64_t>(moves) << kMovesShift | id << kIdentityShift;
    }
    static Entry Decode(std::uint64_t bits) {
        return {static_cast<int>(bits & 63), static_cast<int>(bits >> 6 & 63)};
    }
    static constexpr int kKeyBits = 49;
    static constexpr std::uint64_t kKeyMask = (std::uint64_t{1} << kKeyBits) - 1;
    // Odd, so that multiplying by it modulo 2^49 is a permutation; the bits of the golden ratio
    // spread nearby keys far apart.
    static constexpr std::uint64_t kScramble = 0x9e3779b97f4a7c15 & kKeyMask;
    static std::uint64_t Scramble(std::uint64_t key) { return key * kScramble & kKeyMask; }
    std::uint64_t IdentityMask() const { return (std::uint64_t{1} << identityBits) - 1; }
    std::uint64_t IdentityOf(std::uint64_t entry) const {
        return entry >> kIdentityShift & IdentityMask();
    }
    // The index of the first entry of the scrambled key's pair.
    std::size_t PairAt(std::uint64_t scrambled) const { return (scrambled >> identityBits) * 2; }

    // The scrambled key's bits below the pair's number.
    int identityBits;
    // The vector's storage is aligned to 16 bytes, so a pair never straddles two cache lines.
    std::vector<std::atomic<std::uint64_t>> entries;
};

Solver::Solver(int log2Entries)
    : m_table(std::make_shared<Table>(log2Entries)),
      m_idleThreads(std::make_shared<std::atomic<int>>(0)) {}

Solver::Solver(const Solver& owner, std::function<bool()> stop)
    : m_table(owner.m_table),
      m_book(owner.m_book),
      m_stop(std::move(stop)),
      m_idleThreads(owner.m_idleThreads),
      m_shareAfter(owner.m_shareAfter),
      m_shareFrom(owner.m_shareFrom) {}

void Solver::UseThreads(int threads, std::chrono::steady_clock::duration after) {
    *m_idleThreads = threads - 1;
    m_shareAfter = after;
}

// Marks a public call; the outermost one sets the time from which threads may join it.
struct Solver::Call {
    explicit Call(Solver& caller) : solver(caller) {
        if (solver.m_calls++ == 0) {
            solver.m_shareFrom = std::chrono::steady_clock::now() + solver.m_shareAfter;
        }
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    ~Call() { --solver.m_calls; }
    Solver& solver;
};

int Solver::Processors() {
    return static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

bool Solver::TakeIdleThread() {
    int idle = m_idleThreads->load();
    if (idle > 0 && m_shareAfter.count() > 0 && std::chrono::steady_clock::now() < m_shareFrom) {
        return false;
    }
    while (idle > 0 && !m_idleThreads->compare_exchange_weak(idle, idle - 1)) {
    }
    return idle > 0;
}

Solver::~Solver() = default;

void Solver::Reset() {
    m_table->Clear();
}

template <bool kSplit>
int Solver::Search(const BitboardPosition& position, int alpha, int beta) {
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
    if ((next & (next - 1)) == 0) {
        // A forced move: nothing to sort, and the position after it reads the table itself.
        // Skipping the table here costs 3% more nodes but saves a read that mostly misses the
        // cache: 5 to 15% less time just beyond the book.
        beta = std::min(beta, highest);
        if (alpha >= beta) {
            return beta;
        }
        BitboardPosition child = position;
        child.Play(BitboardPosition::ColumnOf(next));
        return kSplit ? -SplitSearch(child, -beta, -alpha) : -Negamax(child, -beta, -alpha);
    }
    const std::uint64_t key = position.Key();
    const Table::Entry known = m_table->Get(key);
    if (known.lower != 0) {
        const int lower = known.lower + kMinScore - 1;
        if (alpha < lower) {
            alpha = lower;
            if (alpha >= beta) {
                return alpha;
            }
        }
    }
    if (known.upper != 0) {
        highest = std::min(highest, known.upper + kMinScore - 1);
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
    for (const int column : BitboardPosition::kCentreOut) {
        const std::uint64_t move = next & BitboardPosition::ColumnMask(column);
        if (move == 0) {
            continue;
        }
        m_table->Prefetch(position.KeyAfter(move));
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

    // A move to a position the table already shows to be bad enough for the opponent proves the
    // cut without a search. Worth the extra reads only where subtrees are large.
    for (int i = 0; moves < kCutByTableBelow && i < count; ++i) {
        const Table::Entry child = m_table->Get(position.KeyAfter(candidates[i]));
        if (child.upper != 0) {
            const int score = -(child.upper + kMinScore - 1);
            if (score >= beta) {
                return score;
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        int score = 0;
        if (kSplit && i > 0 && count - i > 1 && TakeIdleThread()) {
            // The first move decided nothing, and a thread is idle: it shares the others.
            score = SearchShared(position, candidates + i, count - i, alpha, beta);
            i = count;
        } else {
            BitboardPosition child = position;
            child.Play(BitboardPosition::ColumnOf(candidates[i]));
            score = kSplit ? -SplitSearch(child, -beta, -alpha) : -Negamax(child, -beta, -alpha);
        }
        if (score >= beta) {
            m_table->Put(key, {0, score - kMinScore + 1}, moves);
            return score;
        }
        if (score > alpha) {
            alpha = score;
        }
    }
    m_table->Put(key, {alpha - kMinScore + 1, 0}, moves);
    return alpha;
}

int Solver::SearchShared(const BitboardPosition& position, const std::uint64_t* moves, int count,
                         int alpha, int beta) {
    std::atomic<int> next{0};
    std::atomic<bool> over{false};
    std::mutex mutex;
    int best = INT_MIN;
    int searched = 0;
    std::exception_ptr failure;
    // Each thread takes the next move until none is left or one reaches beta, which stops the
    // others' searches: their trees are not needed then.
    const auto work = [&](Solver& solver) {
        try {
            for (int i; !over && (i = next++) < count;) {
                BitboardPosition child = position;
                child.Play(BitboardPosition::ColumnOf(moves[i]));
                const int score = -solver.SplitSearch(child, -beta, -alpha);
                const std::lock_guard lock(mutex);
                best = std::max(best, score);
                ++searched;
                over = over || score >= beta;
            }
        } catch (const Stopped&) {
            // By another thread's result, or by the caller's stop condition: see below.
        } catch (...) {
            const std::lock_guard lock(mutex);
            failure = failure ? failure : std::current_exception();
            over = true;
        }
    };
    const std::function<bool()> outer = m_stop;
    std::function<bool()> stop = [&] { return over || (outer && outer()); };
    Solver helper(*this, stop);
    // This thread stops likewise until the threads are done; swapped, so nothing can throw after
    // the helper's thread has started.
    m_stop.swap(stop);
    std::thread thread;
    try {
        // The helper is idle again once no move is left for it, even while this thread still
        // searches its last one, whose tree it may then be claimed to share.
        thread = std::thread([&] {
            work(helper);
            ++*m_idleThreads;
        });
    } catch (...) {
        // No thread to be had: this one does all the work.
        ++*m_idleThreads;
    }
    work(*this);
    if (thread.joinable()) {
        thread.join();
    }
    m_stop.swap(stop);
    m_nodes += helper.m_nodes;
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (best < beta && searched < count) {
        // Some move went unsearched and none reached beta: the caller's condition stopped them.
        throw Stopped{};
    }
    return best;
}

int Solver::SplitSearch(const BitboardPosition& position, int alpha, int beta) {
    return position.MoveCount() < kSplitBelow ? Search<true>(position, alpha, beta)
                                              : Negamax(position, alpha, beta);
}

int Solver::NullWindow(const BitboardPosition& position, int score) {
    return *m_idleThreads > 0 ? SplitSearch(position, score, score + 1)
                              : Negamax(position, score, score + 1);
}

int Solver::Solve(const BitboardPosition& position, std::optional<int> atLeast) {
    const Call call(*this);
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
    // Each null-window search near the score costs about as much as all the others together, and
    // an exact score needs at least two of them: one showing it is at most the score, one that it
    // is more than one less. A good guess makes them the first two: the next search goes to the
    // guess, then one below it to confirm it, and only then by halves.
    enum class Next { Guess, Confirm, Halve } next = Next::Halve;
    int guess = 0;
    if (const std::optional<Hint> hint = BookHint(position)) {
        low = std::max(low, hint->low);
        guess = std::min(hint->guess, high - 1);
        next = Next::Guess;
    }
    if (atLeast && *atLeast > low) {
        low = std::min(*atLeast, high);
        guess = next == Next::Guess ? std::max(guess, low) : low;
        next = Next::Guess;
    }
    // Null-window searches, each halving the range; probing near 0 first, where most values lie.
    while (low < high) {
        int probe = low + (high - low) / 2;
        if (next != Next::Halve) {
            probe = std::max(guess, low);
        } else if (probe <= 0 && low / 2 < probe) {
            probe = low / 2;
        } else if (probe >= 0 && high / 2 > probe) {
            probe = high / 2;
        }
        const int result = NullWindow(position, probe);
        if (result <= probe) {
            high = result;
            // The guess held as an upper bound: one search more shows whether it is the score.
            const bool held = next == Next::Guess && result == guess;
            next = held ? Next::Confirm : Next::Halve;
            guess = result - 1;
        } else {
            low = result;
            next = Next::Halve;
        }
    }
    return low;
}

std::optional<Solver::Hint> Solver::BookHint(const BitboardPosition& position) const {
    const int moves = position.MoveCount();
    if (m_book == nullptr || moves <= m_book->Depth() || moves > m_book->Depth() + 2) {
        return std::nullopt;
    }
    const std::optional<int> value = ValueFromBefore(*m_book, position);
    if (!value) {
        return std::nullopt;
    }
    // One disc beyond, a proven bound; two discs beyond, only the likeliest score.
    return Hint{moves == m_book->Depth() + 1 ? *value : -(kCells - moves) / 2, *value};
}

std::array<std::optional<int>, BitboardPosition::kColumns> Solver::MoveScores(
    const BitboardPosition& position) {
    const Call call(*this);
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
    if (const std::optional<Hint> hint = BookHint(position); hint && hint->low > score) {
        return false;
    }
    return NullWindow(position, score) <= score;
}

std::pair<int, std::vector<int>> Solver::BestMoves(const BitboardPosition& position, Moves which,
                                                   std::optional<int> atLeast) {
    const Call call(*this);
    return KeepingMoves(position, BitboardPosition::kCentreOut, which == Moves::All, atLeast);
}

std::pair<int, int> Solver::BestMove(const BitboardPosition& position,
                                     const std::array<int, BitboardPosition::kColumns>& order,
                                     std::optional<int> atLeast) {
    const Call call(*this);
    const auto [best, columns] = KeepingMoves(position, order, false, atLeast);
    return {best, columns.front()};
}

std::pair<int, std::vector<int>> Solver::KeepingMoves(
    const BitboardPosition& position, const std::array<int, BitboardPosition::kColumns>& order,
    bool all, std::optional<int> atLeast) {
    const int best = Solve(position, atLeast);
    // No move is worth more than the best, so the position after a move is worth -best or more to
    // the opponent, and exactly that after a move that keeps the score: one null-window search
    // tells. Those that keep it mostly cost the most, as the search must show that no reply does
    // better, where showing a move worse takes one good reply; and once every other move is shown
    // worse, the one left keeps the score unproven. So the open moves are searched in rounds of
    // doubling budgets: the first open one in the order, which the answer waits for, gets the
    // budget, and the others share half as much. A search cut short leaves what it proved in the
    // table for the next round. Where the first move keeps the score, its search still has two
    // thirds of the time; where its proof is the hard part, the others are settled long before it
    // would be.
    enum class State { Open, Keeps, Worse };
    std::vector<std::pair<int, State>> moves;  // column and state, in the order given
    for (const int column : order) {
        if (!position.CanPlay(column)) {
            continue;
        }
        State state = State::Open;
        if (position.IsWinningMove(column)) {
            state = WinNowScore(position.MoveCount()) == best ? State::Keeps : State::Worse;
        }
        moves.emplace_back(column, state);
    }
    const auto first = [&](auto test) {
        return std::find_if(moves.begin(), moves.end(),
                            [&](const auto& move) { return test(move.second); });
    };
    const auto isOpen = [](State state) { return state == State::Open; };
    const auto open = [&] {
        return std::count_if(moves.begin(), moves.end(),
                             [&](const auto& move) { return isOpen(move.second); });
    };
    const auto settled = [&] {
        if (open() == 1 &&
            first([](State state) { return state == State::Keeps; }) == moves.end()) {
            first(isOpen)->second = State::Keeps;  // some move keeps the score
        }
        return !all ? first([](State state) { return state != State::Worse; })->second ==
                          State::Keeps
                    : open() == 0;
    };

    const std::function<bool()> outer = m_stop;
    struct Restore {
        Solver& solver;
        const std::function<bool()>& stop;
        ~Restore() { solver.m_stop = stop; }
    } restore{*this, outer};
    for (std::uint64_t budget = 1; !settled(); budget *= 2) {
        for (auto move = moves.begin(); move != moves.end() && !settled(); ++move) {
            if (!isOpen(move->second)) {
                continue;
            }
            // Counted in stop tests, one every few thousand nodes; the last open move's search
            // goes on to its end.
            const auto others = static_cast<std::uint64_t>(open() - 1);
            std::uint64_t allowed = UINT64_MAX;
            if (others > 0) {
                allowed = move == first(isOpen) ? budget
                                                : std::max<std::uint64_t>(1, budget / (2 * others));
            }
            std::atomic<std::uint64_t> tests{0};
            m_stop = [&] { return (outer && outer()) || ++tests > allowed; };
            BitboardPosition child = position;
            child.Play(move->first);
            try {
                move->second = AtMost(child, -best) ? State::Keeps : State::Worse;
            } catch (const Stopped&) {
                if (tests <= allowed) {
                    throw;  // by the caller's condition
                }
            }
            m_stop = outer;
        }
    }
    std::vector<int> columns;
    for (const auto& [column, state] : moves) {
        if (state == State::Keeps) {
            columns.push_back(column);
            if (!all) {
                break;
            }
        }
    }
    return {best, columns};
}
