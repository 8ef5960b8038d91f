// Figures of the match runner: games per second and the runner's own CPU time per game in a match
// between two instant bots (the random sample bot, each with a fixed seed), refereed in process by
// the same MatchReferee that fourfall-match runs. The CPU time is this process's (referee thread
// and both channels' reader threads); the bots' time is not in it. Then the same for a few games
// at the window's 100 ms poll, for comparison.
// It reports and asserts nothing. Usage: match_bench [games=200] [poll ms=1] [window games=4]

#include "bench/process_cpu.h"
#include "match/match_referee.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Plays `games` games at the given poll interval and prints one line of figures.
void Measure(int games, unsigned pollMs) {
    MatchReferee::Settings settings;
    settings.commands = {std::string(FOURFALL_RANDOM_BOT) + " --seed 1",
                         std::string(FOURFALL_RANDOM_BOT) + " --seed 2"};
    settings.games = games;
    settings.pollMs = pollMs;
    MatchReferee referee(settings);
    if (referee.StartBots() != 0) {
        std::printf("the random bot could not be started: %s\n", FOURFALL_RANDOM_BOT);
        return;
    }
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = std::chrono::steady_clock::now();
    const std::vector<GameRecord> records = referee.Play({});
    const double wallS =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    referee.EndBots();

    std::size_t moves = 0;
    int clean = 0;
    for (const GameRecord& record : records) {
        moves += record.moves.size();
        clean += record.reason.find("four in a line") != std::string::npos ||
                 record.reason == "the board is full";
    }
    const double n = records.empty() ? 1.0 : static_cast<double>(records.size());
    std::printf(
        "poll %3u ms: %zu games (%d ended by four in a line or a full board), %zu moves in %.2f "
        "s: %.1f games/s, %.2f ms per move; runner CPU %.1f ms in all, %.3f ms per game\n",
        pollMs, records.size(), clean, moves, wallS, static_cast<double>(records.size()) / wallS,
        moves == 0 ? 0.0 : wallS * 1000.0 / static_cast<double>(moves), cpuMs, cpuMs / n);
}

}  // namespace

int main(int argc, char** argv) {
    const int games = argc > 1 ? std::atoi(argv[1]) : 200;
    const unsigned pollMs = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1;
    const int windowGames = argc > 3 ? std::atoi(argv[3]) : 4;
    Measure(games, pollMs);
    if (windowGames > 0) {
        Measure(windowGames, 100);
    }
    return 0;
}
