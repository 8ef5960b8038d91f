// fourfall-book: generates the opening book (see OpeningBook), run by hand, not by the build.
// Solves every position of the book's depth and writes the book. Each score is appended to
// BOOK.partial the moment it is known, so that a run stopped at any point (Ctrl-C, a reboot)
// goes on where it stopped when started again with the same arguments.
//
// With --shard K/N a run solves only its share of the positions, so that several machines can
// share the work: the .partial files of all the shards, gathered beside BOOK as BOOK.partial.1,
// BOOK.partial.2 and so on, are read by a run without --shard, which then writes the book.
//
// With --list PLIES it instead prints, from an existing book, the openings of PLIES moves whose
// solved score is within --within of a draw: the runner's built-in suite is made this way.

#include "solver/opening_book.h"
#include "solver/solver.h"

#include "cli/command_line.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>
#include <unordered_map>

namespace {

// Prints each position of `plies` moves (one sequence for it and its mirror image, the first in
// ascending order) whose score lies within `within` of a draw, as "SEQUENCE  # score S".
int ListOpenings(const OpeningBook& book, int plies, int within) {
    std::unordered_map<std::uint64_t, int> seen;
    int listed = 0;
    const auto walk = [&](const auto& self, const BitboardPosition& position,
                          std::string& moves) -> void {
        if (static_cast<int>(moves.size()) == plies) {
            if (!seen.emplace(OpeningBook::CanonicalKey(position), 0).second) {
                return;
            }
            const int score = book.Score(position).value();
            if (score >= -within && score <= within) {
                std::printf("%s  # score %+d\n", moves.c_str(), score);
                ++listed;
            }
            return;
        }
        for (int column = 1; column <= BitboardPosition::kColumns; ++column) {
            if (position.CanPlay(column) && !position.IsWinningMove(column)) {
                BitboardPosition child = position;
                child.Play(column);
                moves += static_cast<char>('0' + column);
                self(self, child, moves);
                moves.pop_back();
            }
        }
    };
    std::string moves;
    walk(walk, BitboardPosition(), moves);
    std::fprintf(stderr, "fourfall-book: %d openings\n", listed);
    return 0;
}

// The generation deals the positions to its jobs, and to the shards of --shard, in runs of this
// many consecutive ones: the walk puts positions that share much of their trees next to each
// other, and a job's table keeps what the last ones found (a tenth fewer nodes than taking every
// other position).
constexpr std::size_t kRun = 64;

// Adds the scores of an earlier, stopped run to `scores`: "KEY SCORE" lines. A torn last line is
// dropped.
void ReadPartial(const std::string& path, std::unordered_map<std::uint64_t, int>& scores) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::uint64_t key = 0;
        int score = 0;
        if (fields >> key >> score && in.good()) {
            scores[key] = score;
        }
    }
}

// The .partial files of the shards gathered beside `path`: those named PATH.partial.SOMETHING.
std::vector<std::string> ShardPartials(const std::string& path) {
    const std::filesystem::path partial(path + ".partial.");
    const std::string prefix = partial.filename().string();
    std::filesystem::path directory = partial.parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > prefix.size() && name.starts_with(prefix)) {
            found.push_back(entry.path().string());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

int Run(int argc, char** argv) {
    CLI::App app(
        "Generates the opening book of fourfall-solve and fourfall-perfect-bot: solves every\n"
        "position with DEPTH discs and writes their scores to BOOK. A stopped run resumes from\n"
        "BOOK.partial. Each position near the start of a game takes seconds to minutes.",
        "fourfall-book");
    UseProjectHelp(app,
                   "fourfall-book --depth DEPTH [--from SHALLOWER] [--jobs N] [--table-bits B] "
                   "[--shard K/N] BOOK\n"
                   "       fourfall-book --list PLIES [--within S] BOOK");
    int depth = -1;
    int list = -1;
    int within = 2;
    int jobs = 1;
    // The solver's own default: here 2^21 entries searched 6% fewer nodes of the 10-disc book's
    // positions but took 5 to 12% longer, two jobs at once or one.
    int tableBits = 20;
    std::string path;
    std::string from;
    std::string shardText;
    bool version = false;
    app.add_option("--depth", depth, "the discs of the book's positions")
        ->check(CLI::Range(0, OpeningBook::kMaxDepth));
    app.add_option("--list", list,
                   "print the openings of PLIES moves of the book BOOK whose score is within S "
                   "of a draw, and generate nothing")
        ->type_name("PLIES")
        ->check(CLI::Range(0, OpeningBook::kMaxDepth));
    app.add_option("--within", within, "the largest score --list prints, either way (default 2)")
        ->type_name("S")
        ->check(CLI::Range(0, 21));
    app.add_option("--from", from,
                   "a book one or two discs shallower, whose scores the searches start from "
                   "(10 to 30% faster)")
        ->type_name("SHALLOWER");
    app.add_option("--jobs", jobs, "positions solved at once (default 1)")
        ->check(CLI::Range(1, 256));
    app.add_option("--table-bits", tableBits,
                   "each job's table holds 2^B entries of 8 bytes (default 20)")
        ->check(CLI::Range(18, 30));
    app.add_option("--shard", shardText,
                   "solve only shard K of N of the positions, for BOOK.partial.K of a run "
                   "without --shard (see BOOK)")
        ->type_name("K/N");
    app.add_option("BOOK", path,
                   "the book to write; the scores of BOOK.partial and of every "
                   "BOOK.partial.SHARD are not solved again")
        ->required();
    app.add_flag("--version", version, "print the version");
    app.footer(
        "Exit status: 0 the book (or with --shard, the shard's part of it) is written, 1 it could "
        "not be written, 2 a usage error.");
    if (const std::optional<int> status =
            ParseOrAnswer(app, argc, argv, version, FOURFALL_VERSION)) {
        return *status;
    }
    if ((depth < 0) == (list < 0)) {
        std::cerr << "fourfall-book: give either --depth or --list\n" << app.help();
        return kUsageErrorStatus;
    }
    std::optional<std::pair<int, int>> shard{{1, 1}};
    if (!shardText.empty() && !(shard = ParseShard(shardText, INT_MAX))) {
        std::cerr << "fourfall-book: --shard needs K/N with 1 <= K <= N, not \"" << shardText
                  << "\"\n";
        return kUsageErrorStatus;
    }
    if (list >= 0) {
        std::string error;
        const std::optional<OpeningBook> book = OpeningBook::Load(path, error);
        if (!book || book->Depth() < list) {
            std::cerr << "fourfall-book: "
                      << (book ? "the book " + path + " is shallower than " + std::to_string(list)
                               : error)
                      << "\n";
            return 1;
        }
        return ListOpenings(*book, list, within);
    }

    std::optional<OpeningBook> shallower;
    if (!from.empty()) {
        std::string error;
        shallower = OpeningBook::Load(from, error);
        if (!shallower || shallower->Depth() >= depth) {
            std::cerr << "fourfall-book: "
                      << (shallower ? "the book " + from + " is not shallower than " +
                                          std::to_string(depth)
                                    : error)
                      << "\n";
            return 1;
        }
    }

    const std::vector<BitboardPosition> frontier = OpeningBook::Frontier(depth);
    const std::string partialPath = path + ".partial";
    std::unordered_map<std::uint64_t, int> done;
    ReadPartial(partialPath, done);
    const std::vector<std::string> gathered = ShardPartials(path);
    for (const std::string& file : gathered) {
        ReadPartial(file, done);
    }
    const std::size_t shardNumber = static_cast<std::size_t>(shard->first);
    const std::size_t shards = static_cast<std::size_t>(shard->second);
    std::vector<BitboardPosition> todo;
    std::size_t unsolved = 0;
    for (std::size_t i = 0; i < frontier.size(); ++i) {
        if (!done.contains(OpeningBook::CanonicalKey(frontier[i]))) {
            ++unsolved;
            if (i / kRun % shards == shardNumber - 1) {
                todo.push_back(frontier[i]);
            }
        }
    }
    std::fprintf(stderr, "fourfall-book: %zu positions with %d discs, %zu solved before",
                 frontier.size(), depth, frontier.size() - unsolved);
    if (!gathered.empty()) {
        std::fprintf(stderr, " (read also from %zu shard file%s)", gathered.size(),
                     gathered.size() == 1 ? "" : "s");
    }
    if (shards > 1) {
        std::fprintf(stderr, ", %zu left for shard %zu/%zu", todo.size(), shardNumber, shards);
    }
    std::fprintf(stderr, "\n");

    std::ofstream partial(partialPath, std::ios::app);
    if (!partial) {
        std::cerr << "fourfall-book: cannot write " << partialPath << "\n";
        return 1;
    }
    std::mutex mutex;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::size_t solved = 0;
    bool writeFailed = false;
    const auto start = std::chrono::steady_clock::now();
    double reported = 0.0;  // seconds after start of the last progress line
    // The first error of a job (no memory for its table, say) or of starting one: the other jobs
    // finish the positions they are solving and take no more, and the error ends the program.
    std::exception_ptr failure;
    const auto fail = [&] {
        const std::lock_guard lock(mutex);
        failure = failure ? failure : std::current_exception();
        failed = true;
    };
    const auto work = [&] {
        try {
            Solver solver(tableBits);
            solver.UseBook(shallower ? &*shallower : nullptr);
            for (std::size_t begin; !failed && (begin = next.fetch_add(kRun)) < todo.size();) {
                const std::size_t end = std::min(begin + kRun, todo.size());
                for (std::size_t i = begin; i < end && !failed; ++i) {
                    const int score = solver.Solve(todo[i]);
                    const std::uint64_t key = OpeningBook::CanonicalKey(todo[i]);
                    const std::lock_guard lock(mutex);
                    done[key] = score;
                    partial << key << " " << score << "\n" << std::flush;
                    writeFailed = writeFailed || !partial;
                    ++solved;
                    const double seconds =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                            .count();
                    // A line every ten seconds or so, and one for the last position.
                    if (seconds < reported + 10.0 && solved != todo.size()) {
                        continue;
                    }
                    reported = seconds;
                    std::fprintf(
                        stderr,
                        "fourfall-book: %zu of %zu solved, %.2f s each, about %.0f min left\n",
                        solved, todo.size(), seconds / static_cast<double>(solved) * jobs,
                        seconds / static_cast<double>(solved) *
                            static_cast<double>(todo.size() - solved) / 60.0);
                }
            }
        } catch (...) {
            fail();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(jobs));
    try {
        for (int i = 0; i < jobs; ++i) {
            threads.emplace_back(work);
        }
    } catch (...) {
        fail();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (writeFailed) {
        std::cerr << "fourfall-book: cannot write " << partialPath << "\n";
        return 1;
    }

    if (unsolved > todo.size()) {
        std::fprintf(stderr,
                     "fourfall-book: shard %zu/%zu is solved, in %s; %zu positions are left to "
                     "the other shards\n",
                     shardNumber, shards, partialPath.c_str(), unsolved - todo.size());
        return 0;
    }
    std::vector<OpeningBook::Entry> entries;
    for (const BitboardPosition& position : frontier) {
        const std::uint64_t key = OpeningBook::CanonicalKey(position);
        entries.push_back({key, done.at(key)});
    }
    std::string error;
    if (!OpeningBook::Save(path, depth, std::move(entries), error)) {
        std::cerr << "fourfall-book: " << error << "\n";
        return 1;
    }
    // The shards' files are the user's copies, whatever their names: they stay.
    std::remove(partialPath.c_str());
    std::fprintf(stderr, "fourfall-book: wrote %s, %zu entries\n", path.c_str(), frontier.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return RunReportingFailure("fourfall-book", [&] { return Run(argc, argv); });
}
