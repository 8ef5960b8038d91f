// fourfall-strong-bot: searches for the best move within a time budget. Usage:
//   fourfall-strong-bot [--time-ms N] [--verbose]
// --time-ms N is the search time per move (default 300); --verbose writes a "?" line with the
// search depth and score before every move.

#include "bots/alpha_beta_searcher.h"
#include "bots/bot_loop.h"

#include <chrono>
#include <iostream>
#include <string_view>

#include <unistd.h>

namespace {

// Well inside a second per move on a loaded two-core machine, with room for the note gap of
// --verbose and for start-up.
constexpr int kDefaultBudgetMs = 300;

constexpr const char kHelp[] =
    "usage: fourfall-strong-bot [--time-ms N] [--verbose]\n"
    "A sample four-in-a-row bot that searches for the best move (alpha-beta with a transposition\n"
    "table, deepened until its time is up): good, but beatable. It speaks the line protocol of\n"
    "fourfall-moderator and fourfall-match on its standard input and output (see "
    "fourfall-bots(7))\n"
    "and can start games from openings.\n"
    "  --time-ms N    thinking time per move in milliseconds (default 300)\n"
    "  --verbose      write a \"?\" note with the search depth and score before each move\n"
    "  --help         print this text\n"
    "  --version      print the version\n";

int Usage() {
    std::cerr << "usage: fourfall-strong-bot [--time-ms N] [--verbose]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false;
    int budgetMs = kDefaultBudgetMs;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (const std::optional<int> status =
                BotLoop::AnswerInfoOption(arg, "fourfall-strong-bot", kHelp)) {
            return *status;
        }
        if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--time-ms" && i + 1 < argc) {
            const std::optional<int> number = BotLoop::ParseNumber<int>(argv[++i]);
            if (!number || *number < 0) {
                return Usage();
            }
            budgetMs = *number;
        } else {
            return Usage();
        }
    }

    AlphaBetaSearcher searcher;
    BotLoop loop(
        [&searcher, budgetMs](const BitboardPosition& position) {
            const SearchResult result =
                searcher.FindMove(position, std::chrono::milliseconds(budgetMs));
            return BotLoop::Choice{result.column, result.Describe()};
        },
        verbose);
    return loop.Run(std::cin, STDOUT_FILENO);
}
