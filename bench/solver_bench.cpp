// Figures of the exact solver: the mean and longest time to solve positions of random games at
// the end (more than 28 discs), in the middle (15 to 28) and at the beginning (12 to 14) of a
// game, single-threaded, each set drawn from its own seed and solved with an emptied table per
// position. Then, with the opening book (build/share/fourfall/opening.book), positions the book
// answers (up to its depth) and the slowest ones, just beyond it, also with a thread for each
// processor, as fourfall-solve and fourfall-perfect-bot search. It reports and asserts nothing.
// Usage: solver_bench [end=1000] [middle=1000] [begin=1000] [beyond=10]

#include "solver/opening_book.h"
#include "solver/solver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

// A random position with `low`..`high` discs that nobody has won yet and in which the side to
// move cannot win at once.
BitboardPosition RandomPosition(std::mt19937& random, int low, int high) {
    for (;;) {
        const int discs = std::uniform_int_distribution<int>(low, high)(random);
        BitboardPosition position;
        bool ok = true;
        while (ok && position.MoveCount() < discs) {
            std::vector<int> safe;
            for (int column = 1; column <= BitboardPosition::kColumns; ++column) {
                if (position.CanPlay(column) && !position.IsWinningMove(column)) {
                    safe.push_back(column);
                }
            }
            ok = !safe.empty();
            if (ok) {
                position.Play(
                    safe[std::uniform_int_distribution<std::size_t>(0, safe.size() - 1)(random)]);
            }
        }
        if (ok && !position.IsFull() && !position.CanWinNext()) {
            return position;
        }
    }
}

void Measure(const char* name, int count, int low, int high, unsigned seed,
             const OpeningBook* book = nullptr, int threads = 1) {
    if (count <= 0) {
        return;
    }
    std::mt19937 random(seed);
    double total = 0.0;
    double longest = 0.0;
    int overSecond = 0;
    Solver solver;
    solver.UseBook(book);
    solver.UseThreads(threads);
    for (int i = 0; i < count; ++i) {
        const BitboardPosition position = RandomPosition(random, low, high);
        solver.Reset();
        const auto start = std::chrono::steady_clock::now();
        solver.Solve(position);
        const double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count();
        total += us;
        longest = std::max(longest, us);
        overSecond += us > 1e6 ? 1 : 0;
    }
    const std::uint64_t nodes = solver.Nodes();
    std::printf(
        "%-10s %5d positions (%2d-%2d discs): mean %10.1f us, longest %11.1f us (%d over 1 s), "
        "%.1f M nodes/s\n",
        name, count, low, high, total / count, longest, overSecond,
        static_cast<double>(nodes) / total);
}

}  // namespace

int main(int argc, char** argv) {
    const int end = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int middle = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int begin = argc > 3 ? std::atoi(argv[3]) : 1000;
    Measure("end", end, 29, 40, 1);
    Measure("middle", middle, 15, 28, 2);
    Measure("beginning", begin, 12, 14, 3);
    std::string error;
    const std::optional<OpeningBook> book = OpeningBook::Load(OpeningBook::DefaultPath(), error);
    if (!book) {
        std::printf("no book: %s\n", error.c_str());
        return 0;
    }
    const int beyond = argc > 4 ? std::atoi(argv[4]) : 10;
    Measure("book", 1000, 0, book->Depth(), 4, &*book);
    Measure("beyond", beyond, book->Depth() + 1, book->Depth() + 2, 5, &*book);
    const int threads = Solver::Processors();
    if (threads > 1) {
        const std::string name = "beyond/" + std::to_string(threads);
        Measure(name.c_str(), beyond, book->Depth() + 1, book->Depth() + 2, 5, &*book, threads);
    }
    return 0;
}
