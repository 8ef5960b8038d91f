// fourfall-match: referees whole matches between two bots without a window. See MatchOptions for
// the command line and MatchReferee for how a game runs.

#include "match/game_record.h"
#include "match/interrupt_watcher.h"
#include "match/match_options.h"
#include "match/match_referee.h"
#include "match/match_report.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStartFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<MatchOptions> options =
        MatchOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "fourfall-match: " << error << "\n" << MatchOptions::Usage();
        return kExitUsage;
    }
    if (options->help) {
        std::cout << MatchOptions::Usage();
        return kExitOk;
    }

    std::ofstream log;
    if (!options->logPath.empty()) {
        log.open(options->logPath, std::ios::out | std::ios::trunc);
        if (!log) {
            std::cerr << "fourfall-match: cannot write the log " << options->logPath << ": "
                      << std::strerror(errno) << "\n";
            return kExitStartFailed;
        }
    }

    MatchReferee::Settings settings;
    settings.commands = options->commands;
    settings.games = options->games;
    settings.moveTime = options->moveTime;
    settings.startTime = options->startTime;
    MatchReferee referee(settings);
    // Before any other thread exists (the channels start theirs in StartBots), so that every
    // thread inherits the blocked signals.
    InterruptWatcher watcher([&referee](int signal) { referee.Interrupt(signal); });

    if (const int failed = referee.StartBots(); failed != 0) {
        const int startError = errno;
        std::cerr << "fourfall-match: player " << failed
                  << " could not be started: " << options->commands[failed - 1] << ": "
                  << std::strerror(startError) << "\n";
        referee.EndBots();
        return kExitStartFailed;
    }

    const std::array<std::string, 2> labels = {MatchReport::Label(options->commands[0]),
                                               MatchReport::Label(options->commands[1])};
    bool logFailed = false;
    MatchReferee::Callbacks callbacks;
    callbacks.onGame = [&](const GameRecord& record) {
        if (!options->quiet) {
            std::cout << MatchReport::GameLine(record, options->games) << std::endl;
        }
        if (log.is_open()) {
            log << record.ToJson() << "\n";
            log.flush();
            logFailed = logFailed || !log;
        }
    };
    callbacks.onRestart = [&](int player, int game, bool started) {
        if (!options->quiet) {
            std::cout << MatchReport::RestartLine(player, game, options->games, started)
                      << std::endl;
        }
    };
    const std::vector<GameRecord> records = referee.Play(callbacks);
    referee.EndBots();

    const int signal = referee.InterruptSignal();
    if (signal != 0) {
        std::cerr << "fourfall-match: interrupted by signal " << signal << " after "
                  << records.size() << " of " << options->games << " games\n";
    }
    std::cout << MatchReport::Table(records, labels) << std::flush;
    if (logFailed) {
        std::cerr << "fourfall-match: writing the log " << options->logPath << " failed\n";
    }
    if (signal != 0) {
        return 128 + signal;
    }
    return logFailed ? kExitStartFailed : kExitOk;
}
