// fourfall-perfect-bot: plays perfectly, with the exact solver and its opening book. Usage:
//   fourfall-perfect-bot [--seed N] [--book FILE] [--threads N] [--verbose]
// It plays a move of the best score; among equal moves the most central, or with --seed one
// drawn at random. --verbose writes a "?" line with the scores of the seven moves before every
// move.

#include "bots/bot_loop.h"
#include "solver/opening_book.h"
#include "solver/solver.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include <unistd.h>

namespace {

constexpr const char kHelp[] =
    "usage: fourfall-perfect-bot [--seed N] [--book FILE] [--threads N] [--verbose]\n"
    "A sample four-in-a-row bot that plays perfectly: it solves every position exactly (with an\n"
    "opening book for the first moves) and plays a move of the best score, the most central of\n"
    "equal moves. It speaks the line protocol of fourfall-moderator and fourfall-match on its\n"
    "standard input and output (see fourfall-bots(7)) and can start games from openings.\n"
    "  --seed N       choose among equally good moves at random, from seed N\n"
    "  --book FILE    the opening book (default: share/fourfall/opening.book of the installation)\n"
    "  --threads N    share a move's search among N threads once it has taken 0.1 s (default:\n"
    "                 one for each processor; 1: never)\n"
    "  --verbose      write a \"?\" note with the score of each move before each move\n"
    "  --help         print this text\n"
    "  --version      print the version\n";

int Usage() {
    std::cerr << "usage: fourfall-perfect-bot [--seed N] [--book FILE] [--threads N] [--verbose]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false;
    std::optional<std::uint64_t> seed;
    // Most moves take a few milliseconds and stay on one processor, so that in a match of many
    // games at once the bot does not slow the bots of the other games; the rare searches still
    // going after a tenth of a second, which alone would take up to a second here, are shared.
    int threads = Solver::Processors();
    std::optional<std::string> bookPath;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (const std::optional<int> status =
                BotLoop::AnswerInfoOption(arg, "fourfall-perfect-bot", kHelp)) {
            return *status;
        }
        if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = BotLoop::ParseNumber<std::uint64_t>(argv[++i]);
            if (!seed) {
                return Usage();
            }
        } else if (arg == "--threads" && i + 1 < argc) {
            const std::optional<int> number = BotLoop::ParseNumber<int>(argv[++i]);
            if (!number || *number < 1 || *number > 256) {
                return Usage();
            }
            threads = *number;
        } else if (arg == "--book" && i + 1 < argc) {
            bookPath = argv[++i];
        } else {
            return Usage();
        }
    }

    std::string error;
    std::optional<OpeningBook> book =
        OpeningBook::Load(bookPath.value_or(OpeningBook::DefaultPath()), error);
    if (!book && bookPath) {
        std::cerr << "fourfall-perfect-bot: " << error << "\n";
        return 1;
    }
    if (!book) {
        // Still perfect without it, only slow near the start of a game.
        std::cerr << "fourfall-perfect-bot: " << error << "; the first moves may take long\n";
    }

    Solver solver;
    solver.UseBook(book ? &*book : nullptr);
    solver.UseThreads(threads, std::chrono::milliseconds(100));
    std::mt19937_64 random(seed.value_or(0));
    // The position the bot's last move led to and the score it kept: whatever the reply, the
    // position after it is worth at least that score to the bot, which spares the search a proof.
    std::optional<std::pair<std::uint64_t, int>> lastMove;
    BotLoop loop(
        [&](const BitboardPosition& position) {
            std::optional<int> atLeast;
            for (int column = 1; lastMove && column <= BitboardPosition::kColumns; ++column) {
                if (const std::optional<BitboardPosition> before = position.Before(column);
                    before && before->Key() == lastMove->first) {
                    atLeast = lastMove->second;
                }
            }
            // The first best move in a shuffled order is any of them with the same chance.
            std::array<int, BitboardPosition::kColumns> order = BitboardPosition::kCentreOut;
            if (seed) {
                std::shuffle(order.begin(), order.end(), random);
            }
            const auto [score, column] = solver.BestMove(position, order, atLeast);
            BitboardPosition after = position;
            after.Play(column);
            lastMove.emplace(after.Key(), score);
            std::string note;
            if (verbose) {
                note = "score " + std::to_string(score) + ", moves";
                for (const std::optional<int>& move : solver.MoveScores(position)) {
                    note += " " + (move ? std::to_string(*move) : std::string("-"));
                }
            }
            return BotLoop::Choice{column, note};
        },
        verbose);
    return loop.Run(std::cin, STDOUT_FILENO);
}
