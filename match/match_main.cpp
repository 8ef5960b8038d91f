// fourfall-match: referees whole matches between two bots without a window. See MatchOptions for
// the command line, MatchReferee for how a game runs, MatchRunner for games played side by side
// and MatchLog for the log a run can be resumed from.

#include "match/game_record.h"
#include "match/interrupt_watcher.h"
#include "match/match_log.h"
#include "match/match_options.h"
#include "match/match_referee.h"
#include "match/match_report.h"
#include "match/match_runner.h"
#include "match/openings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <thread>
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
    if (options->version) {
        std::cout << MatchOptions::VersionText();
        return kExitOk;
    }

    // Before the log is touched: a run that cannot start its bots leaves an old log as it was.
    MatchReferee::Settings settings;
    if (options->limits.Any() || options->sandbox) {
        BotWrapper::Options wrapping;
        wrapping.limits = options->limits;
        wrapping.sandbox = options->sandbox;
        wrapping.allowed = options->sandboxAllow;
        settings.wrapper = BotWrapper::Make(wrapping, error);
        if (!settings.wrapper) {
            std::cerr << "fourfall-match: " << error << "\n";
            return kExitStartFailed;
        }
        if (options->limits.processes && !settings.wrapper->ProcessesExact()) {
            std::cerr << "fourfall-match: warning: no pids control group can be made here, so "
                         "--bot-processes counts every process of your user and does not bind "
                         "root\n";
        }
    }

    std::vector<std::string> openings;
    if (!options->openings.empty()) {
        if (options->openings == "builtin") {
            openings = Openings::Builtin();
        } else if (std::optional<std::vector<std::string>> read =
                       Openings::FromFile(options->openings, error)) {
            openings = std::move(*read);
        } else {
            std::cerr << "fourfall-match: " << error << "\n";
            return kExitUsage;
        }
        if (options->seed) {
            openings = Openings::Shuffled(std::move(openings), *options->seed);
        }
    }
    settings.openings = openings;

    const MatchLog::Run run{options->commands, options->moveTime, options->startTime, openings};
    std::vector<GameRecord> records;
    MatchLog log;
    if (!options->logPath.empty()) {
        MatchLog::Contents contents;
        if (options->resume) {
            std::optional<MatchLog::Contents> read =
                MatchLog::ReadForResume(options->logPath, run, error);
            if (!read) {
                std::cerr << "fourfall-match: " << error << "\n";
                return kExitUsage;
            }
            contents = std::move(*read);
            for (const GameRecord& record : contents.records) {
                if (record.number > options->games) {
                    std::cerr << "fourfall-match: cannot resume: the log holds game "
                              << record.number << ", beyond --games " << options->games << "\n";
                    return kExitUsage;
                }
            }
        }
        if (!log.Open(options->logPath, run, contents.wholeBytes, error)) {
            std::cerr << "fourfall-match: " << error << "\n";
            return kExitStartFailed;
        }
        records = std::move(contents.records);
    }

    std::vector<int> missing;
    {
        std::set<int> done;
        for (const GameRecord& record : records) {
            done.insert(record.number);
        }
        for (int number = 1; number <= options->games; ++number) {
            if (done.count(number) == 0) {
                missing.push_back(number);
            }
        }
    }
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores > 0 && static_cast<unsigned>(options->concurrency) > cores) {
        std::cerr << "fourfall-match: warning: --concurrency " << options->concurrency
                  << " is more than the " << cores
                  << " cores here, so bots wait for a core and their time limits are unfair\n";
    }

    settings.commands = options->commands;
    settings.games = options->games;
    settings.moveTime = options->moveTime;
    settings.startTime = options->startTime;
    const int referees =
        std::max(1, std::min(options->concurrency, static_cast<int>(missing.size())));
    MatchRunner runner(settings, referees);
    // Before any other thread exists (the channels start theirs in StartBots), so that every
    // thread inherits the blocked signals.
    InterruptWatcher watcher([&runner](int signal) { runner.Interrupt(signal); });

    if (!missing.empty()) {
        if (const int failed = runner.StartBots(); failed != 0) {
            const int startError = errno;
            std::cerr << "fourfall-match: player " << failed
                      << " could not be started: " << options->commands[failed - 1] << ": "
                      << std::strerror(startError) << "\n";
            runner.EndBots();
            return kExitStartFailed;
        }
    }

    bool logFailed = false;
    MatchReferee::Callbacks callbacks;
    callbacks.onGame = [&](const GameRecord& record) {
        if (!options->quiet) {
            std::cout << MatchReport::GameLine(record, options->games) << std::endl;
        }
        if (!options->logPath.empty() && !logFailed) {
            logFailed = !log.Append(record);
        }
    };
    callbacks.onRestart = [&](int player, int game, bool started) {
        if (!options->quiet) {
            std::cout << MatchReport::RestartLine(player, game, options->games, started)
                      << std::endl;
        }
    };
    const std::vector<GameRecord> played = runner.Play(missing, callbacks);
    runner.EndBots();
    records.insert(records.end(), played.begin(), played.end());
    std::sort(records.begin(), records.end(),
              [](const GameRecord& a, const GameRecord& b) { return a.number < b.number; });

    if (!runner.FatalError().empty()) {
        std::cerr << "fourfall-match: " << runner.FatalError() << "\n";
        return kExitUsage;
    }
    const int signal = runner.InterruptSignal();
    if (signal != 0) {
        std::cerr << "fourfall-match: interrupted by signal " << signal << " after "
                  << records.size() << " of " << options->games << " games\n";
    }
    const std::array<std::string, 2> labels = {MatchReport::Label(options->commands[0]),
                                               MatchReport::Label(options->commands[1])};
    std::cout << MatchReport::Table(records, labels) << std::flush;
    if (logFailed) {
        std::cerr << "fourfall-match: writing the log " << options->logPath << " failed\n";
    }
    if (signal != 0) {
        return 128 + signal;
    }
    return logFailed ? kExitStartFailed : kExitOk;
}
