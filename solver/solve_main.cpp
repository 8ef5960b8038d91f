// fourfall-solve: the exact value of four-in-a-row positions. Reads one position a line on
// standard input, as its moves in column digits ("4453"; an empty line is the empty board; a
// second field on the line is ignored), and prints "SEQUENCE SCORE" for each, with --moves also
// the score of each of the seven moves ("-" for a full column). See Solver for the scores. A line
// that is no legal unfinished position gets a message on standard error naming its line number;
// the other lines are still answered, and the exit status is then 1.

#include "solver/solver.h"

#include "cli/command_line.h"

#include <iostream>
#include <sstream>
#include <string>

namespace {

// Why `moves` is no legal unfinished position; empty when it is one.
std::string Problem(const std::string& moves, std::optional<BitboardPosition>& position) {
    BitboardPosition board;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const int column = moves[i] - '0';
        if (column < 1 || column > BitboardPosition::kColumns) {
            return "'" + std::string(1, moves[i]) + "' is no column (1 to 7)";
        }
        if (!board.CanPlay(column)) {
            return "column " + std::to_string(column) + " is full";
        }
        if (board.IsWinningMove(column)) {
            if (i + 1 < moves.size()) {
                return "move " + std::to_string(i + 2) + " comes after the game was won";
            }
            return "the last move wins the game: there is nothing left to solve";
        }
        board.Play(column);
    }
    if (board.IsFull()) {
        return "the board is full";
    }
    position = board;
    return {};
}

int Run(int argc, char** argv) {
    CLI::App app(
        "Prints the exact score of each position read from standard input, one a line as its\n"
        "moves (\"4453\"; an empty line is the empty board), for the side to move: 0 a draw, 22\n"
        "minus the winner's discs at the end when it wins with perfect play, that number minus 22\n"
        "when it loses. The opening book answers the first moves at once.",
        "fourfall-solve");
    UseProjectHelp(app, "fourfall-solve [--moves] [--book FILE] [--threads N] < POSITIONS");
    bool moves = false;
    int threads = Solver::Processors();
    std::string bookPath;
    bool version = false;
    app.add_flag("--moves", moves, "also print the score of each of the seven moves (- if full)");
    app.add_option("--book", bookPath,
                   "the opening book (default: share/fourfall/opening.book of the installation)")
        ->type_name("FILE");
    app.add_option("--threads", threads,
                   "threads to share each search among (default: the machine's processors)")
        ->type_name("N")
        ->check(CLI::Range(1, 256));
    app.add_flag("--version", version, "print the version");
    app.footer(
        "Exit status: 0 every line was answered, 1 a line was no legal unfinished position or "
        "the run failed (out of memory, say), 2 a usage error.");
    if (const std::optional<int> status =
            ParseOrAnswer(app, argc, argv, version, FOURFALL_VERSION)) {
        return *status;
    }

    std::string error;
    const std::optional<OpeningBook> book =
        OpeningBook::Load(bookPath.empty() ? OpeningBook::DefaultPath() : bookPath, error);
    if (!book && !bookPath.empty()) {
        std::cerr << "fourfall-solve: " << error << "\n";
        return kUsageErrorStatus;
    }
    if (!book) {
        std::cerr << "fourfall-solve: warning: " << error
                  << ", so positions near the start of a game take long\n";
    }
    Solver solver;
    solver.UseBook(book ? &*book : nullptr);
    solver.UseThreads(threads);
    bool failed = false;
    std::string line;
    for (int number = 1; std::getline(std::cin, line); ++number) {
        std::istringstream fields(line);
        std::string sequence;
        fields >> sequence;
        std::optional<BitboardPosition> position;
        if (const std::string problem = Problem(sequence, position); !problem.empty()) {
            std::cerr << "fourfall-solve: line " << number << ": \"" << sequence
                      << "\" is no position to solve: " << problem << "\n";
            failed = true;
            continue;
        }
        std::cout << sequence << " " << solver.Solve(*position);
        if (moves) {
            for (const std::optional<int>& score : solver.MoveScores(*position)) {
                std::cout << " " << (score ? std::to_string(*score) : "-");
            }
        }
        std::cout << std::endl;
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    return RunReportingFailure("fourfall-solve", [&] { return Run(argc, argv); });
}
