// fourfall-strong-bot: searches for the best move within a time budget. Usage:
//   fourfall-strong-bot [--time-ms N] [--verbose]
// --time-ms N is the search time per move (default 300); --verbose writes a "?" line with the
// search depth and score before every move.

#include "bots/alpha_beta_searcher.h"
#include "bots/bot_loop.h"

#include <charconv>
#include <chrono>
#include <iostream>
#include <string_view>

#include <unistd.h>

namespace {

// Well inside a second per move on a loaded two-core machine, with room for the note gap of
// --verbose and for start-up.
constexpr int kDefaultBudgetMs = 300;

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
        if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--time-ms" && i + 1 < argc) {
            const std::string_view value = argv[++i];
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), budgetMs);
            if (error != std::errc() || end != value.data() + value.size() || budgetMs < 0) {
                return Usage();
            }
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
