// fourfall-report: the final report of fourfall-match from logs alone, for runs spread over
// several machines (--shard) or finished long ago. Usage:
//
//   fourfall-report [--json] [--merge OUT] [--show N [--book FILE]] LOG...
//
// The logs must be of one run (the same bots, time limits, openings, format and games; shards may
// differ). A game is known by its number, so a game found in several logs counts once. --show N
// prints game N move by move instead, with the value of each move (solved now when the run had
// no --audit).

#include "match/match_log.h"
#include "match/match_report.h"
#include "match/match_statistics.h"

#include "match/audit_report.h"
#include "solver/move_audit.h"
#include "solver/opening_book.h"

#include "cli/command_line.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadLog = 1;
constexpr int kExitUsage = kUsageErrorStatus;

int Run(int argc, char** argv) {
    CLI::App app(
        "Prints the final report of fourfall-match from the logs of one run (its shards, or a run\n"
        "and its resumptions); a game found in several logs counts once.",
        "fourfall-report");
    UseProjectHelp(app, "fourfall-report [options] LOG...", 20);
    bool json = false;
    bool version = false;
    std::string merge;
    std::vector<std::string> logs;
    app.add_flag("--json", json, "print the report as one JSON object");
    app.add_option("--merge", merge, "also write the games of all the logs as one log to OUT")
        ->type_name("OUT");
    int show = 0;
    std::string bookPath;
    app.add_option("--show", show,
                   "print game N move by move as boards, each move with its score and its "
                   "blunders marked")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    app.add_option("--book", bookPath, "the opening book of --show (default: the installed one)")
        ->type_name("FILE");
    app.add_flag("--version", version, "print the version");
    app.add_option("LOG", logs, "a log written by fourfall-match --log");
    app.footer(
        "Exit status: 0 the report was printed, 1 a log could not be read or belongs to "
        "another run, or the run failed (out of memory, say), 2 a usage error.");
    if (const std::optional<int> status =
            ParseOrAnswer(app, argc, argv, version, FOURFALL_VERSION)) {
        return *status;
    }
    if (logs.empty()) {
        std::cerr << "fourfall-report: at least one log is needed\n" << app.help();
        return kExitUsage;
    }

    std::optional<MatchLog::Run> run;
    std::vector<GameRecord> records;
    std::set<int> seen;
    for (const std::string& path : logs) {
        std::string error;
        std::optional<MatchLog::Contents> contents = MatchLog::Read(path, false, error);
        if (!contents) {
            std::cerr << "fourfall-report: " << error << "\n";
            return kExitBadLog;
        }
        if (!run) {
            run = contents->run;
        } else if (const std::string difference = MatchLog::Difference(contents->run, *run, false);
                   !difference.empty()) {
            std::cerr << "fourfall-report: " << path << " is of another run than " << logs[0]
                      << ": " << difference << "\n";
            return kExitBadLog;
        }
        for (GameRecord& record : contents->records) {
            if (seen.insert(record.number).second) {
                records.push_back(std::move(record));
            }
        }
    }
    std::sort(records.begin(), records.end(),
              [](const GameRecord& a, const GameRecord& b) { return a.number < b.number; });

    const std::optional<MatchStatistics::Sprt> sprt =
        run->sprt.empty() ? std::nullopt : MatchStatistics::Sprt::Parse(run->sprt);
    if (!merge.empty()) {
        MatchLog::Run whole = *run;
        whole.shard.clear();
        MatchLog out;
        std::string error;
        bool written = out.Open(merge, whole, 0, error);
        for (const GameRecord& record : records) {
            written = written && out.Append(record);
        }
        if (!written) {
            std::cerr << "fourfall-report: cannot write " << merge
                      << (error.empty() ? "" : ": " + error) << "\n";
            return kExitBadLog;
        }
    }
    if (show > 0) {
        const auto game = std::find_if(records.begin(), records.end(),
                                       [show](const GameRecord& r) { return r.number == show; });
        if (game == records.end()) {
            std::cerr << "fourfall-report: the logs hold no game " << show << "\n";
            return kExitBadLog;
        }
        if (game->scores.empty()) {
            // The run was not audited: solve the game now.
            std::string error;
            std::optional<OpeningBook> book =
                OpeningBook::Load(bookPath.empty() ? OpeningBook::DefaultPath() : bookPath, error);
            if (!book && !bookPath.empty()) {
                std::cerr << "fourfall-report: " << error << "\n";
                return kExitUsage;
            }
            Solver solver;
            solver.UseBook(book ? &*book : nullptr);
            game->scores =
                MoveAudit::Scores(solver, game->opening, game->moves).value_or(std::vector<int>());
        }
        std::cout << AuditReport::Show(*game, run->names);
        return kExitOk;
    }
    if (json) {
        std::cout << MatchReport::FinalJson(records, run->names, sprt) << "\n";
    } else {
        std::cout << MatchReport::Final(records, run->names, sprt);
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return RunReportingFailure("fourfall-report", [&] { return Run(argc, argv); });
}
