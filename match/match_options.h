#pragma once

#include "match/match_schedule.h"
#include "match/match_statistics.h"
#include "sandbox/bot_limits.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command line of fourfall-match, read with CLI11:
//   fourfall-match [options] COMMAND1 COMMAND2 [COMMAND3...]
// Options may come before, between or after the commands; "--name value" and "--name=value" both
// work, and "--" ends the options.
//
// Plain data and pure functions; any thread.
struct MatchOptions {
    // The bots' command lines (two or more), each split later as the window splits them; with
    // two, the first is player 1.
    std::vector<std::string> commands;
    // The bots' short names, in the order of the commands (from --name, then from the command
    // lines), all different.
    std::vector<std::string> names;
    // Games per pairing of bots (with two bots, the games of the match).
    int games = 10;
    // Which pairings play with three bots or more (two bots make one pairing either way).
    MatchSchedule::Format format = MatchSchedule::Format::RoundRobin;
    // --sprt: stop as soon as the test decides (two bots only); and as given.
    std::optional<MatchStatistics::Sprt> sprt;
    std::string sprtText;
    // --shard K/N: play only shard K of N of the schedule; {1, 1} for all of it.
    int shard = 1;
    int shards = 1;
    std::chrono::milliseconds moveTime{5000};
    std::chrono::milliseconds startTime{10000};
    bool quiet = false;
    // Empty: no log.
    std::string logPath;
    // Play only the games that the log does not hold yet.
    bool resume = false;
    // Solve every position of each game (GameRecord::scores), with the opening book `book`
    // (empty: OpeningBook::DefaultPath()).
    bool audit = false;
    std::string book;
    // Games played at once, each by its own pair of bot processes.
    int concurrency = 1;
    // --openings: a file, or "builtin"; empty for none. --seed shuffles them.
    std::string openings;
    std::optional<std::uint64_t> seed;
    // What each bot may use, and whether it runs in the sandbox, with the extra paths it sees.
    BotLimits limits;
    bool sandbox = false;
    std::vector<std::string> sandboxAllow;
    // --help or --version was given: print the usage or the version and stop (the other fields
    // are not filled in).
    bool help = false;
    bool version = false;

    static constexpr int kMaxGames = 1000000;
    static constexpr int kMaxConcurrency = 256;
    static constexpr int kMaxBotProcesses = 100000;

    // Reads the arguments after the program name. On success returns the options; otherwise
    // leaves a one-line message (without a line end) in `error` and returns nothing.
    static std::optional<MatchOptions> Parse(const std::vector<std::string>& args,
                                             std::string& error);

    // The usage text with every option and its default, several lines, each ending in "\n".
    static std::string Usage();

    // "fourfall-match 1.2\n".
    static std::string VersionText();

    // A time limit as given on the command line: seconds ("5", "0.25", "5s") or milliseconds
    // ("250ms"), more than 0 and at most a day, in whole milliseconds (rounded). Nothing for
    // anything else.
    static std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text);

    // A duration for messages: "5 s", "250 ms", "1.5 s".
    static std::string DurationText(std::chrono::milliseconds duration);
};
