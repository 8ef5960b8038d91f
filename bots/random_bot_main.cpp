// fourfall-random-bot: plays a random legal column. Usage:
//   fourfall-random-bot [--seed N] [--verbose] [--delay-ms N]
// --seed N makes its games repeatable; --verbose writes a "?" line before every move; --delay-ms N
// waits N milliseconds before each move, as a bot that thinks would.

#include "bots/bot_loop.h"

#include <chrono>
#include <cstdint>
#include <iostream>
#include <random>
#include <string_view>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr const char kHelp[] =
    "usage: fourfall-random-bot [--seed N] [--verbose] [--delay-ms N]\n"
    "A sample four-in-a-row bot that plays a random free column. It speaks the line protocol of\n"
    "fourfall-moderator and fourfall-match on its standard input and output (see "
    "fourfall-bots(7))\n"
    "and can start games from openings.\n"
    "  --seed N       the same seed plays the same games (default: a new one every start)\n"
    "  --verbose      write a \"?\" note before each move\n"
    "  --delay-ms N   wait N milliseconds before each move, as a bot that thinks would\n"
    "  --help         print this text\n"
    "  --version      print the version\n";

int Usage() {
    std::cerr << "usage: fourfall-random-bot [--seed N] [--verbose] [--delay-ms N]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false;
    std::uint64_t seed = std::random_device{}();
    std::uint64_t delayMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (const std::optional<int> status =
                BotLoop::AnswerInfoOption(arg, "fourfall-random-bot", kHelp)) {
            return *status;
        }
        if (arg == "--verbose") {
            verbose = true;
        } else if ((arg == "--seed" || arg == "--delay-ms") && i + 1 < argc) {
            const std::optional<std::uint64_t> number =
                BotLoop::ParseNumber<std::uint64_t>(argv[++i]);
            if (!number) {
                return Usage();
            }
            (arg == "--seed" ? seed : delayMs) = *number;
        } else {
            return Usage();
        }
    }

    std::mt19937_64 generator(seed);
    BotLoop loop(
        [&generator, delayMs](const BitboardPosition& position) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            std::vector<int> free;
            for (int column = 1; column <= BitboardPosition::kColumns; ++column) {
                if (position.CanPlay(column)) {
                    free.push_back(column);
                }
            }
            std::uniform_int_distribution<std::size_t> pick(0, free.size() - 1);
            const int column = free[pick(generator)];
            return BotLoop::Choice{
                column, "random pick among " + std::to_string(free.size()) + " free columns"};
        },
        verbose);
    return loop.Run(std::cin, STDOUT_FILENO);
}
