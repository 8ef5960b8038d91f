// The solver against an independent slow oracle: plain minimax to the end on the tests' own grid
// board (tests/bots/grid_board.h), with the same scores, over positions of random games late
// enough for the oracle; and fourfall-solve as a program.

#include "solver/solver.h"
#include "solver/move_audit.h"
#include "solver/opening_book.h"
#include "tests/bots/grid_board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// The score of `board` for the side to move by trying every continuation.
int Minimax(GridBoard& board) {
    const int moves = board.MoveCount();
    if (board.Full()) {
        return 0;
    }
    const int player = board.PlayerToMove();
    int best = -100;
    for (int column = 1; column <= 7; ++column) {
        if (!board.CanPlay(column)) {
            continue;
        }
        if (board.WouldComplete(column, board.Height(column) + 1, player)) {
            return (43 - moves) / 2;
        }
        board.Play(column);
        best = std::max(best, -Minimax(board));
        board.Undo(column);
    }
    return best;
}

// A random game's moves up to `discs` discs with nobody having won, or empty when it ended first.
std::string RandomOpening(std::mt19937& random, int discs) {
    GridBoard board;
    std::string moves;
    while (static_cast<int>(moves.size()) < discs) {
        std::vector<int> safe;
        for (int column = 1; column <= 7; ++column) {
            if (board.CanPlay(column) &&
                !board.WouldComplete(column, board.Height(column) + 1, board.PlayerToMove())) {
                safe.push_back(column);
            }
        }
        if (safe.empty()) {
            return {};
        }
        const int column =
            safe[std::uniform_int_distribution<std::size_t>(0, safe.size() - 1)(random)];
        board.Play(column);
        moves += static_cast<char>('0' + column);
    }
    return moves;
}

// The first column of `order` that is one of `columns`.
int FirstOf(const std::array<int, BitboardPosition::kColumns>& order,
            const std::vector<int>& columns) {
    return *std::find_first_of(order.begin(), order.end(), columns.begin(), columns.end());
}

// The best of seven move scores and the columns that reach it, centre first.
std::pair<int, std::vector<int>> Best(
    const std::array<std::optional<int>, BitboardPosition::kColumns>& scores) {
    int best = -100;
    std::vector<int> columns;
    for (const int column : {4, 3, 5, 2, 6, 1, 7}) {
        const int score = scores[static_cast<std::size_t>(column - 1)].value_or(-100);
        if (score > best) {
            best = score;
            columns.clear();
        }
        if (score == best) {
            columns.push_back(column);
        }
    }
    return {best, columns};
}

TEST(SolverTest, AgreesWithPlainMinimaxAndWithItsOwnMoveScores) {
    std::mt19937 random(42);
    Solver solver(20);
    int solved = 0;
    std::set<int> signs;
    while (solved < 300) {
        const int discs = std::uniform_int_distribution<int>(30, 38)(random);
        const std::string moves = RandomOpening(random, discs);
        if (moves.empty()) {
            continue;
        }
        GridBoard grid;
        for (const char c : moves) {
            grid.Play(c - '0');
        }
        const BitboardPosition position = BitboardPosition::FromMoves(moves).value();
        const int score = solver.Solve(position);
        ASSERT_EQ(score, Minimax(grid)) << moves;
        // The position is worth its best move.
        int best = -100;
        for (const std::optional<int>& move : solver.MoveScores(position)) {
            best = std::max(best, move.value_or(-100));
        }
        ASSERT_EQ(best, score) << moves;
        signs.insert((score > 0) - (score < 0));
        ++solved;
    }
    // Wins, draws and losses all came up.
    EXPECT_EQ(signs.size(), 3u);
}

// A crowded table or threads sharing one change the work, never the answer: the smallest table,
// kept over many games' positions so that their entries evict one another, and the same shared
// by three threads, against a large one; the shared one after a search stopped while the threads
// shared it, whose entries stay in the table.
TEST(SolverTest, CrowdedOrSharedTableGivesTheSameAnswers) {
    std::mt19937 random(11);
    Solver crowded(18);
    Solver shared(18);
    shared.UseThreads(3);
    std::atomic<int> checks{0};
    shared.StopWhen([&] { return ++checks > 20; });
    EXPECT_THROW(shared.Solve(BitboardPosition::FromMoves("4444").value()), Solver::Stopped);
    shared.StopWhen({});
    Solver roomy(23);
    for (int solved = 0; solved < 60;) {
        const std::string moves =
            RandomOpening(random, std::uniform_int_distribution<int>(14, 22)(random));
        if (moves.empty()) {
            continue;
        }
        const BitboardPosition position = BitboardPosition::FromMoves(moves).value();
        const auto best = roomy.BestMoves(position);
        ASSERT_EQ(crowded.Solve(position), best.first) << moves;
        ASSERT_EQ(shared.BestMoves(position), best) << moves;
        ++solved;
    }
}

TEST(SolverTest, KnowsPositionsOfKnownValue) {
    Solver solver(20);
    // x wins at once with its fourth disc in column 1: 22 - 4.
    EXPECT_EQ(solver.Solve(BitboardPosition::FromMoves("121212").value()), 18);
    // Any move but the win lets o win at once in column 2, with its fourth disc.
    const auto scores = solver.MoveScores(BitboardPosition::FromMoves("121212").value());
    EXPECT_EQ(scores[0], 18);
    for (int column = 3; column <= 7; ++column) {
        EXPECT_EQ(scores[static_cast<std::size_t>(column - 1)], -18) << column;
    }
    // The last free cell of a drawn game.
    const std::string tie = "44276122537725234254556347417537166663131";
    EXPECT_EQ(solver.Solve(BitboardPosition::FromMoves(tie).value()), 0);
    EXPECT_EQ(solver.Solve(BitboardPosition::FromMoves(tie + "1").value()), 0);
}

// Three routes to a move's value must agree over whole games: the audit's scores (solved from
// the last position back), each position's seven move scores, and the best moves found by
// refuting the others, also the first of them in a shuffled order.
TEST(SolverTest, AuditScoresAndBestMovesAgreeWithMoveScores) {
    std::mt19937 random(7);
    std::mt19937 shuffler(8);
    std::array<int, BitboardPosition::kColumns> order = {1, 2, 3, 4, 5, 6, 7};
    Solver audit(20);
    Solver solver(20);
    int games = 0;
    int blunders = 0;
    while (games < 40) {
        const std::string opening = RandomOpening(random, 22);
        // The rest of a random game after it, up to its end.
        std::string moves;
        GridBoard grid;
        for (const char c : opening) {
            grid.Play(c - '0');
        }
        while (!opening.empty() && !grid.Full()) {
            std::vector<int> free;
            for (int column = 1; column <= 7; ++column) {
                if (grid.CanPlay(column)) {
                    free.push_back(column);
                }
            }
            const int column =
                free[std::uniform_int_distribution<std::size_t>(0, free.size() - 1)(random)];
            const bool wins =
                grid.WouldComplete(column, grid.Height(column) + 1, grid.PlayerToMove());
            grid.Play(column);
            moves += static_cast<char>('0' + column);
            if (wins) {
                break;
            }
        }
        if (moves.empty()) {
            continue;
        }
        ++games;
        const std::vector<int> scores = MoveAudit::Scores(audit, opening, moves).value();
        ASSERT_EQ(scores.size(), moves.size() + 1);
        BitboardPosition position = BitboardPosition::FromMoves(opening).value();
        for (std::size_t i = 0; i < moves.size(); ++i) {
            const auto all = solver.MoveScores(position);
            const auto [best, columns] = Best(all);
            const int played = moves[i] - '0';
            ASSERT_EQ(scores[i], best) << opening << " " << moves.substr(0, i);
            ASSERT_EQ(MoveAudit::MoveScore(scores, i), all[static_cast<std::size_t>(played - 1)]);
            ASSERT_EQ(solver.BestMoves(position), std::make_pair(best, columns));
            ASSERT_EQ(solver.BestMoves(position, Solver::Moves::MostCentral),
                      std::make_pair(best, std::vector<int>{columns.front()}));
            std::shuffle(order.begin(), order.end(), shuffler);
            ASSERT_EQ(solver.BestMove(position, order),
                      std::make_pair(best, FirstOf(order, columns)));
            blunders += MoveAudit::Judge(scores[i], MoveAudit::MoveScore(scores, i)) ==
                        MoveAudit::Verdict::Blunder;
            position.Play(played);
        }
    }
    // Random play throws results away: the games were no walkover.
    EXPECT_GT(blunders, 10);
}

// The committed book: the known values of the empty board and its moves (a first-mover win on
// its last disc in the centre, the outer columns lost), which rest on every entry; a sample of
// entries solved afresh, and positions just beyond them; and damaged copies refused.
TEST(OpeningBookTest, KnowsTheOpeningAndRefusesDamagedBooks) {
    std::string error;
    const std::optional<OpeningBook> book = OpeningBook::Load(FOURFALL_BOOK, error);
    ASSERT_TRUE(book) << error;
    std::vector<BitboardPosition> frontier = OpeningBook::Frontier(book->Depth());
    EXPECT_EQ(book->Size(), frontier.size());
    Solver solver;
    solver.UseBook(&*book);
    EXPECT_EQ(solver.Solve(BitboardPosition()), 1);
    const auto scores = solver.MoveScores(BitboardPosition());
    EXPECT_EQ(std::vector<std::optional<int>>(scores.begin(), scores.end()),
              (std::vector<std::optional<int>>{-2, -1, 0, 1, 0, -1, -2}));

    // The entries decided soonest are the quickest to solve again. Each is scored once: a
    // comparison that looked both up again would spend seconds on a book of millions.
    std::vector<std::pair<int, std::size_t>> soonest;
    for (std::size_t i = 0; i < frontier.size(); ++i) {
        soonest.emplace_back(-std::abs(*book->Score(frontier[i])), i);
    }
    std::sort(soonest.begin(), soonest.end());
    std::vector<BitboardPosition> sorted;
    sorted.reserve(frontier.size());
    for (const auto& [decided, i] : soonest) {
        sorted.push_back(frontier[i]);
    }
    frontier = std::move(sorted);
    Solver fresh;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(fresh.Solve(frontier[i]), book->Score(frontier[i])) << frontier[i].ToRows();
    }

    // Just beyond the book, the search starts from what the book says of the positions before.
    // After the quickest entries whose moves leave the opponent no win at once (none of its winning
    // cells is free or just above a free one, so that each move is searched), every move and reply
    // must still score as without a book, and the moves that keep an entry's score must be those
    // BestMoves finds.
    Solver plain;
    std::vector<BitboardPosition> quiet;
    std::copy_if(frontier.begin(), frontier.end(), std::back_inserter(quiet), [](const auto& e) {
        return (e.OpponentWinningCells() & (e.Playable() | e.Playable() << 1)) == 0;
    });
    quiet.resize(2);
    for (const BitboardPosition& entry : quiet) {
        std::vector<int> keeping;
        for (const int column : {4, 3, 5, 2, 6, 1, 7}) {
            if (!entry.CanPlay(column)) {
                continue;
            }
            BitboardPosition child = entry;
            child.Play(column);
            ASSERT_EQ(child.Before(column)->Key(), entry.Key());
            const int score = plain.Solve(child);
            EXPECT_EQ(solver.Solve(child), score) << child.ToRows();
            if (-score == book->Score(entry)) {
                keeping.push_back(column);
            }
            for (int reply = 1; reply <= BitboardPosition::kColumns; ++reply) {
                BitboardPosition grandchild = child;
                if (child.CanPlay(reply) && !child.IsWinningMove(reply)) {
                    grandchild.Play(reply);
                    EXPECT_EQ(solver.Solve(grandchild), plain.Solve(grandchild))
                        << grandchild.ToRows();
                }
            }
        }
        EXPECT_EQ(solver.BestMoves(entry).second, keeping) << entry.ToRows();
    }

    std::ifstream in(FOURFALL_BOOK, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto damaged = [](std::string copy, std::size_t at, char value) {
        copy[at] = value;
        return copy;
    };
    const std::string swapped =
        bytes.substr(0, 13) + bytes.substr(21, 8) + bytes.substr(13, 8) + bytes.substr(29);
    const std::string dir = ::testing::TempDir();
    for (const std::string& copy : {bytes.substr(0, bytes.size() - 1), damaged(bytes, 0, 'X'),
                                    swapped, damaged(bytes, 13, '\x7f'), damaged(bytes, 8, 99)}) {
        const std::string path = dir + "/damaged.book";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << copy;
        error.clear();
        EXPECT_FALSE(OpeningBook::Load(path, error));
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    error.clear();
    EXPECT_FALSE(OpeningBook::Load(dir, error));  // a directory: a message, not a huge allocation
    EXPECT_EQ(error, dir + " is no opening book");
    EXPECT_FALSE(OpeningBook::Load(dir + "/none.book", error));
    EXPECT_EQ(error, "cannot read the opening book " + dir + "/none.book");
}

// Positions of eleven discs whose best moves take searches long enough to be cut short and taken
// up again: alone, shared by two threads, and in another order with a second thread joining a
// millisecond into the search. In 36717423674 and 33623763771 one move keeps the score, which
// BestMoves learns from the others being worse; in 32335374633, with a full column, four do.
TEST(OpeningBookTest, BestMovesAgreeWithMoveScoresWhereSearchesAreCutShort) {
    std::string error;
    const std::optional<OpeningBook> book = OpeningBook::Load(FOURFALL_BOOK, error);
    ASSERT_TRUE(book) << error;
    for (const char* moves : {"36717423674", "33623763771", "32335374633"}) {
        const BitboardPosition position = BitboardPosition::FromMoves(moves).value();
        Solver scorer;
        scorer.UseBook(&*book);
        const auto [best, columns] = Best(scorer.MoveScores(position));
        Solver alone;
        alone.UseBook(&*book);
        EXPECT_EQ(alone.BestMoves(position), std::make_pair(best, columns)) << moves;
        Solver shared;
        shared.UseBook(&*book);
        shared.UseThreads(2);
        EXPECT_EQ(shared.BestMoves(position, Solver::Moves::MostCentral),
                  std::make_pair(best, std::vector<int>{columns.front()}))
            << moves;
        const std::array<int, BitboardPosition::kColumns> outsideIn = {7, 1, 6, 2, 5, 3, 4};
        Solver other;
        other.UseBook(&*book);
        other.UseThreads(2, std::chrono::milliseconds(1));
        EXPECT_EQ(other.BestMove(position, outsideIn),
                  std::make_pair(best, FirstOf(outsideIn, columns)))
            << moves;
    }
}

// A book one disc shallower than `book`, scored from it, written to `path`: the book programs'
// tests generate `book`'s depth from it, which is quicker to walk than the depth beyond, and `book`
// knows the score of every position they solve.
void WriteShallowerBook(const OpeningBook& book, const std::string& path) {
    std::vector<OpeningBook::Entry> entries;
    for (const BitboardPosition& position : OpeningBook::Frontier(book.Depth() - 1)) {
        entries.push_back({OpeningBook::CanonicalKey(position), book.Score(position).value()});
    }
    std::string error;
    ASSERT_TRUE(OpeningBook::Save(path, book.Depth() - 1, std::move(entries), error)) << error;
}

// A book's generation from one a disc shallower, stopped a little after it has begun to solve and
// resumed: no position is solved twice, and each one solved scores as in the committed book and,
// for a sample, as with a solver without a book.
TEST(BookProgramTest, GeneratesFromAShallowerBookAndResumes) {
    std::string error;
    const std::optional<OpeningBook> book = OpeningBook::Load(FOURFALL_BOOK, error);
    ASSERT_TRUE(book) << error;
    const std::string from = ::testing::TempDir() + "/shallower.book";
    ASSERT_NO_FATAL_FAILURE(WriteShallowerBook(*book, from));
    const std::string depth = std::to_string(book->Depth() - 1);
    const std::string deeper = std::to_string(book->Depth());
    const std::string out = ::testing::TempDir() + "/deeper.book";
    std::remove((out + ".partial").c_str());
    const std::string program =
        std::string(FOURFALL_BOOK_PROGRAM) + " --jobs 2 --from " + from + " --depth ";
    // Before it solves anything, each run walks the positions it is to solve, which takes seconds
    // once the book is deep, and longer in a sanitizer build: a run is given as long as that walk
    // takes here, and two seconds more.
    const auto start = std::chrono::steady_clock::now();
    const std::vector<BitboardPosition> frontier = OpeningBook::Frontier(book->Depth());
    const auto walk =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    std::map<std::uint64_t, int> scores;
    std::size_t lines = 0;
    // Longer runs where one solved nothing, until two have solved something.
    for (int run = 0, solving = 0; solving < 2 && run < 6; ++run) {
        std::string generate =
            "timeout -s INT " + std::to_string((walk + 2) << std::max(0, run - solving)) + " ";
        generate += program + deeper;
        generate += " " + out + " 2>/dev/null";
        ASSERT_EQ(WEXITSTATUS(std::system(generate.c_str())), 124);
        std::ifstream partial(out + ".partial");
        const std::size_t before = lines;
        lines = 0;
        for (std::pair<std::uint64_t, int> line; partial >> line.first >> line.second; ++lines) {
            scores.insert(line);
        }
        solving += lines > before ? 1 : 0;
    }
    EXPECT_EQ(scores.size(), lines) << "a position solved twice";
    EXPECT_GE(lines, 2u);
    // Without a book, only a sample, so that the slower sanitizer builds need not solve hundreds.
    Solver plain;
    std::size_t checked = 0;
    for (const BitboardPosition& position : frontier) {
        if (const auto found = scores.find(OpeningBook::CanonicalKey(position));
            found != scores.end()) {
            EXPECT_EQ(book->Score(position), found->second) << position.ToRows();
            if (checked++ < 40) {
                EXPECT_EQ(plain.Solve(position), found->second) << position.ToRows();
            }
        }
    }
    EXPECT_EQ(checked, scores.size()) << "a position of another depth";

    std::string refused = program + depth;
    refused += " " + out + " 2>" + out + ".err";
    EXPECT_EQ(WEXITSTATUS(std::system(refused.c_str())), 1);
    std::stringstream message;
    message << std::ifstream(out + ".err").rdbuf();
    EXPECT_EQ(message.str(),
              "fourfall-book: the book " + from + " is not shallower than " + depth + "\n");

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Tables of 8 GB in an address space of 1 GB: the jobs end with one line, not an abort.
    const std::string starved = "ulimit -v 1000000; " FOURFALL_BOOK_PROGRAM
                                " --depth 1 --jobs 2 --table-bits 30 " +
                                out + ".starved 2>" + out + ".err";
    EXPECT_EQ(WEXITSTATUS(std::system(starved.c_str())), 1);
    std::ifstream err(out + ".err");
    std::string last;
    for (std::string line; std::getline(err, line);) {
        last = line;
    }
    EXPECT_EQ(last, "fourfall-book: out of memory");
#endif
}

// Shards of a book's generation: each solves its own runs of 64 consecutive positions, and one
// given another's .partial file beside its book counts those positions as solved.
TEST(BookProgramTest, ShardsSolveTheirOwnRunsAndGatherTheOthers) {
    std::string error;
    const std::optional<OpeningBook> book = OpeningBook::Load(FOURFALL_BOOK, error);
    ASSERT_TRUE(book) << error;
    const std::string from = ::testing::TempDir() + "/shard-from.book";
    ASSERT_NO_FATAL_FAILURE(WriteShallowerBook(*book, from));
    const std::string depth = std::to_string(book->Depth());
    const std::vector<BitboardPosition> frontier = OpeningBook::Frontier(book->Depth());
    // As many shards as runs, or one more: each shard is a single run.
    const std::string shards = std::to_string(frontier.size() / 64 + 1);
    const std::string out = ::testing::TempDir() + "/shard.book";
    const std::string redirected = " " + out + " 2>" + out + ".err";
    std::remove((out + ".partial.2").c_str());
    for (const int shard : {2, 1}) {
        std::remove((out + ".partial").c_str());
        std::string command = FOURFALL_BOOK_PROGRAM " --from " + from;
        command += " --depth " + depth;
        command += " --shard " + std::to_string(shard) + "/" + shards;
        command += redirected;
        ASSERT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
        std::set<std::uint64_t> keys;
        std::ifstream partial(out + ".partial");
        for (std::pair<std::uint64_t, int> line; partial >> line.first >> line.second;) {
            keys.insert(line.first);
        }
        std::set<std::uint64_t> expected;
        for (std::size_t i = 64 * (shard - 1); i < 64 * static_cast<std::size_t>(shard); ++i) {
            expected.insert(OpeningBook::CanonicalKey(frontier[i]));
        }
        EXPECT_EQ(keys, expected) << "shard " << shard;
        EXPECT_FALSE(std::ifstream(out)) << "a book from one shard";
        std::rename((out + ".partial").c_str(), (out + ".partial.2").c_str());
    }
    std::string first;
    std::getline(std::ifstream(out + ".err"), first);
    EXPECT_EQ(first, "fourfall-book: " + std::to_string(frontier.size()) + " positions with " +
                         depth +
                         " discs, 64 solved before (read also from 1 shard file), 64 left for "
                         "shard 1/" +
                         shards);
}

TEST(SolveProgramTest, AnswersGoodLinesAndNamesTheBadOnes) {
    const std::string dir = ::testing::TempDir();
    std::ofstream(dir + "/in.txt") << "\n121212\n48\n44276122537725234254556347417537166663131 "
                                      "notes\n4444444\n1212121\n12121212\n";
    const std::string command = std::string(FOURFALL_SOLVE) + " --book " + FOURFALL_BOOK +
                                " --moves <" + dir + "/in.txt >" + dir + "/out.txt 2>" + dir +
                                "/err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::stringstream out;
    out << std::ifstream(dir + "/out.txt").rdbuf();
    EXPECT_EQ(out.str(),
              " 1 -2 -1 0 1 0 -1 -2\n"
              "121212 18 18 -3 -18 -18 -18 -18 -18\n"
              "44276122537725234254556347417537166663131 0 0 - - - - - -\n");
    std::stringstream err;
    err << std::ifstream(dir + "/err.txt").rdbuf();
    EXPECT_EQ(err.str(),
              "fourfall-solve: line 3: \"48\" is no position to solve: '8' is no column (1 to 7)\n"
              "fourfall-solve: line 5: \"4444444\" is no position to solve: column 4 is full\n"
              "fourfall-solve: line 6: \"1212121\" is no position to solve: the last move wins "
              "the game: there is nothing left to solve\n"
              "fourfall-solve: line 7: \"12121212\" is no position to solve: move 8 comes after "
              "the game was won\n");
}

}  // namespace
