// fourfall-match: referees whole matches between two bots, or tournaments of more, without a
// window. See MatchOptions for the command line, MatchSchedule for which games a run plays,
// MatchReferee for how a game runs, MatchRunner for games played side by side and MatchLog for the
// log a run can be resumed from.

#include "match/game_record.h"
#include "match/interrupt_watcher.h"
#include "match/match_log.h"
#include "match/match_options.h"
#include "match/match_referee.h"
#include "match/match_report.h"
#include "match/match_runner.h"
#include "match/match_schedule.h"
#include "match/openings.h"
#include "solver/opening_book.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
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
    const bool twoBots = options->commands.size() == 2;

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
    if (options->audit) {
        const std::string bookPath =
            options->book.empty() ? OpeningBook::DefaultPath() : options->book;
        if (std::optional<OpeningBook> book = OpeningBook::Load(bookPath, error)) {
            settings.book = std::make_shared<const OpeningBook>(std::move(*book));
        } else if (!options->book.empty()) {
            std::cerr << "fourfall-match: " << error << "\n";
            return kExitUsage;
        } else {
            std::cerr << "fourfall-match: warning: " << error
                      << ", so the audit of the first moves of a game takes long\n";
        }
    }
    const MatchSchedule schedule(static_cast<int>(options->commands.size()), options->format,
                                 options->games, openings);

    MatchLog::Run run;
    run.commands = options->commands;
    run.names = options->names;
    run.moveTime = options->moveTime;
    run.startTime = options->startTime;
    run.openings = openings;
    if (!twoBots) {
        run.format =
            options->format == MatchSchedule::Format::Gauntlet ? "gauntlet" : "round-robin";
        run.games = options->games;
    }
    run.sprt = options->sprtText;
    run.audit = options->audit;
    if (options->shards > 1) {
        run.shard = std::to_string(options->shard) + "/" + std::to_string(options->shards);
    }
    const std::vector<int> scheduled = schedule.Shard(options->shard, options->shards);

    std::vector<GameRecord> records;
    MatchLog log;
    if (!options->logPath.empty()) {
        MatchLog::Contents contents;
        if (options->resume) {
            std::optional<MatchLog::Contents> read = MatchLog::Read(options->logPath, true, error);
            if (!read) {
                std::cerr << "fourfall-match: cannot resume: " << error << "\n";
                return kExitUsage;
            }
            contents = std::move(*read);
            if (contents.wholeBytes > 0) {
                if (const std::string difference = MatchLog::Difference(contents.run, run, true);
                    !difference.empty()) {
                    std::cerr << "fourfall-match: cannot resume: " << difference << "\n";
                    return kExitUsage;
                }
            }
            const std::set<int> wanted(scheduled.begin(), scheduled.end());
            for (const GameRecord& record : contents.records) {
                if (wanted.count(record.number) == 0) {
                    std::cerr << "fourfall-match: cannot resume: the log holds game "
                              << record.number << ", which this run does not play\n";
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
        for (const int number : scheduled) {
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
    settings.openings = openings;
    settings.audit = options->audit;
    const int referees =
        std::max(1, std::min(options->concurrency, static_cast<int>(missing.size())));
    MatchRunner runner(settings, referees);
    // Before any other thread exists (the channels start theirs in StartBots), so that every
    // thread inherits the blocked signals.
    InterruptWatcher watcher([&runner](int signal) { runner.Interrupt(signal); });

    // A sequential test ends the run as soon as it decides; the pairs of a resumed log count too.
    std::vector<GameRecord> finished = records;
    const auto decided = [&] {
        return options->sprt && !options->sprt->Verdict(MatchReport::Pairs(finished)).empty();
    };
    if (!missing.empty() && !decided()) {
        const std::array<int, 2> first = schedule.At(missing.front()).bots;
        if (const int failed = runner.StartBots(first); failed != 0) {
            const int startError = errno;
            const std::string& command =
                options->commands[static_cast<std::size_t>(first[failed - 1])];
            std::cerr << "fourfall-match: " << (twoBots ? "player " : "bot ")
                      << (twoBots ? failed : first[failed - 1] + 1)
                      << " could not be started: " << command << ": " << std::strerror(startError)
                      << "\n";
            runner.EndBots();
            return kExitStartFailed;
        }
    } else {
        missing.clear();
    }

    bool logFailed = false;
    const int total = schedule.Games();
    MatchReferee::Callbacks callbacks;
    callbacks.onGame = [&](const GameRecord& record) {
        if (!options->quiet) {
            std::cout << MatchReport::GameLine(record, total) << std::endl;
        }
        if (!options->logPath.empty() && !logFailed) {
            logFailed = !log.Append(record);
        }
        finished.push_back(record);
        if (decided()) {
            runner.Stop();
        }
    };
    callbacks.onRestart = [&](int player, int game, bool started) {
        if (!options->quiet) {
            std::cout << MatchReport::RestartLine(player, game, total, started) << std::endl;
        }
    };
    runner.Play(schedule, missing, callbacks);
    runner.EndBots();
    records = std::move(finished);
    std::sort(records.begin(), records.end(),
              [](const GameRecord& a, const GameRecord& b) { return a.number < b.number; });

    if (!runner.FatalError().empty()) {
        std::cerr << "fourfall-match: " << runner.FatalError() << "\n";
        return kExitUsage;
    }
    const int signal = runner.InterruptSignal();
    if (signal != 0) {
        std::cerr << "fourfall-match: interrupted by signal " << signal << " after "
                  << records.size() << " of " << scheduled.size() << " games\n";
    }
    std::cout << MatchReport::Final(records, options->names, options->sprt) << std::flush;
    if (logFailed) {
        std::cerr << "fourfall-match: writing the log " << options->logPath << " failed\n";
    }
    if (signal != 0) {
        return 128 + signal;
    }
    return logFailed ? kExitStartFailed : kExitOk;
}
