#include "match/match_options.h"

#include "match/match_report.h"

#include "cli/command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <tuple>

namespace {

constexpr double kMaxDurationMs = 24.0 * 60 * 60 * 1000;

}  // namespace

std::optional<std::chrono::milliseconds> MatchOptions::ParseDuration(std::string_view text) {
    double scale = 1000.0;
    if (text.ends_with("ms")) {
        scale = 1.0;
        text.remove_suffix(2);
    } else if (text.ends_with("s")) {
        text.remove_suffix(1);
    }
    // from_chars takes no sign, no blanks and no "inf"/"nan" in this form: only plain numbers.
    if (text.empty() || !(text.front() >= '0' && text.front() <= '9') ||
        !(text.back() >= '0' && text.back() <= '9')) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    const double ms = std::round(value * scale);
    if (!(ms >= 1.0 && ms <= kMaxDurationMs)) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(static_cast<long long>(ms));
}

std::string MatchOptions::DurationText(std::chrono::milliseconds duration) {
    const long long ms = duration.count();
    if (ms % 1000 == 0) {
        return std::to_string(ms / 1000) + " s";
    }
    if (ms < 1000) {
        return std::to_string(ms) + " ms";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", ms / 1000, ms % 1000);
    std::string seconds = text;
    while (seconds.back() == '0') {
        seconds.pop_back();
    }
    return seconds + " s";
}

namespace {

// The raw values, checked after CLI11 has split the arguments, so that each bad value gets a
// message that says what would be right.
struct RawOptions {
    std::vector<std::string> commands;
    std::string games = "10";
    std::string moveTime = "5s";
    std::string startTime = "10s";
    std::string concurrency = "1";
    std::optional<std::string> openings;
    std::optional<std::string> seed;
    std::optional<std::string> format;
    std::vector<std::string> names;
    std::optional<std::string> sprt;
    std::optional<std::string> shard;
    std::optional<std::string> logPath;
    std::optional<std::string> botMemory;
    std::optional<std::string> botProcesses;
    std::optional<std::string> botCpuTime;
    std::vector<std::string> sandboxAllow;
    bool sandbox = false;
    bool quiet = false;
    bool resume = false;
    bool audit = false;
    std::optional<std::string> book;
    bool version = false;
};

// The parser, bound to `raw`.
std::unique_ptr<CLI::App> MakeApp(RawOptions& raw) {
    auto app = std::make_unique<CLI::App>(
        "Plays a match between two bots, or a tournament of more, without a window. Each\n"
        "COMMAND is one bot's command line, quoted as one argument; COMMAND1 is player 1.",
        "fourfall-match");
    UseProjectHelp(*app, "fourfall-match [options] COMMAND1 COMMAND2 [COMMAND3...]", 26);
    app->allow_extras();
    app->add_option("--games", raw.games,
                    "games to play (per pairing with three bots or more); player 1 moves first in "
                    "odd games, player 2 in even ones")
        ->type_name("N")
        ->capture_default_str();
    app->add_option("--move-time", raw.moveTime, "time limit for each move")
        ->type_name("T")
        ->capture_default_str();
    app->add_option("--start-time", raw.startTime, "time limit for the \"p\" before each game")
        ->type_name("T")
        ->capture_default_str();
    app->add_option("--concurrency", raw.concurrency,
                    "games played at once, each by its own two bot processes")
        ->type_name("N")
        ->capture_default_str();
    app->add_option("--openings", raw.openings,
                    "start the games from the openings of FILE (one a line, e.g. 4453), or from "
                    "the near-draw suite \"builtin\"; each is played twice, the first mover "
                    "swapped")
        ->type_name("FILE");
    app->add_option("--seed", raw.seed, "shuffle the openings in an order drawn from S")
        ->type_name("S");
    app->add_option("--format", raw.format,
                    "with three bots or more: round-robin (every pairing, the default) or "
                    "gauntlet (the first bot against each other)")
        ->type_name("F");
    app->add_option("--name", raw.names,
                    "a short name for the next bot, in the order of the commands (repeatable)")
        ->type_name("NAME")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
    app->add_option("--sprt", raw.sprt,
                    "stop as soon as a sequential test on the pairs decides between ELO0 and "
                    "ELO1 (error rates 0.05 unless given); --games is then the most")
        ->type_name("ELO0,ELO1[,A,B]");
    app->add_option("--shard", raw.shard,
                    "play only shard K of N of the run's games, in whole pairs; report the N logs "
                    "together with fourfall-report")
        ->type_name("K/N");
    app->add_option("--log", raw.logPath,
                    "write the run and one JSON object per game to FILE (replaced, unless "
                    "--resume)")
        ->type_name("FILE");
    app->add_flag("--resume", raw.resume,
                  "play only the games missing from the --log FILE of the same run, then report "
                  "all of them");
    app->add_option("--bot-memory", raw.botMemory,
                    "address space of each bot process, e.g. 512M (K, M, G: powers of 1024)")
        ->type_name("SIZE");
    app->add_option("--bot-processes", raw.botProcesses,
                    "processes each bot may have at once, itself and all it starts")
        ->type_name("N");
    app->add_option("--bot-cpu-time", raw.botCpuTime,
                    "CPU time of each bot process, in whole seconds (rounded up)")
        ->type_name("T");
    app->add_flag("--sandbox", raw.sandbox,
                  "run each bot under bubblewrap: no network, no files but the system's and its "
                  "own folder");
    app->add_option("--sandbox-allow", raw.sandboxAllow,
                    "also let sandboxed bots read PATH (repeatable)")
        ->type_name("PATH")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
    app->add_flag("--audit", raw.audit,
                  "solve every position of each game: the log gets each move's score, the report "
                  "each bot's blunders (moves that threw a win or a draw away)");
    app->add_option("--book", raw.book,
                    "the opening book of --audit (default: the one installed with fourfall-solve)")
        ->type_name("FILE");
    app->add_flag("--quiet", raw.quiet, "print only the final table");
    app->add_flag("--version", raw.version, "print the version");
    app->add_option("COMMAND", raw.commands, "a bot's command line (two or more of them)");
    app->footer(
        "T is seconds (5, 0.5, 5s) or milliseconds (500ms). A --concurrency above the number of\n"
        "cores makes timed games unfair. The --bot-* limits are off unless given.\n"
        "Exit status: 0 the match ran to its end, 1 a bot could not be started (or the log\n"
        "not written), 2 a usage error (or a refused resume), 128+N when ended by signal N.");
    return app;
}

// A whole number in `low`..`high`, or nothing.
std::optional<int> ParseCount(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string MatchOptions::Usage() {
    RawOptions raw;
    return MakeApp(raw)->help();
}

std::string MatchOptions::VersionText() {
    return std::string("fourfall-match ") + FOURFALL_VERSION + "\n";
}

std::optional<MatchOptions> MatchOptions::Parse(const std::vector<std::string>& args,
                                                std::string& error) {
    // CLI11 would take the next argument as the value of "--name=".
    for (const std::string& arg : args) {
        if (arg == "--") {
            break;
        }
        if (arg.starts_with("--") && arg.ends_with('=')) {
            const std::string name = arg.substr(0, arg.size() - 1);
            error =
                name == "--log" ? "--log needs a file name" : "option " + name + " needs a value";
            return std::nullopt;
        }
    }
    RawOptions raw;
    const std::unique_ptr<CLI::App> app = MakeApp(raw);
    // CLI11 takes the arguments last to first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    MatchOptions options;
    try {
        app->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        options.help = true;
        return options;
    } catch (const CLI::ArgumentMismatch& e) {
        const std::string what = e.what();
        error = "option " + what.substr(0, what.find(':')) + " needs a value";
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    for (const std::string& extra : app->remaining()) {
        if (extra != "--") {
            error = "unknown option " + extra;
            return std::nullopt;
        }
    }
    if (raw.version) {
        options.version = true;
        return options;
    }

    const std::optional<int> games = ParseCount(raw.games, 1, kMaxGames);
    if (!games) {
        error = "--games needs a whole number from 1 to " + std::to_string(kMaxGames) + ", not \"" +
                raw.games + "\"";
        return std::nullopt;
    }
    options.games = *games;
    const std::optional<int> concurrency = ParseCount(raw.concurrency, 1, kMaxConcurrency);
    if (!concurrency) {
        error = "--concurrency needs a whole number from 1 to " + std::to_string(kMaxConcurrency) +
                ", not \"" + raw.concurrency + "\"";
        return std::nullopt;
    }
    options.concurrency = *concurrency;
    if (raw.openings) {
        if (raw.openings->empty()) {
            error = "--openings needs a file name, or builtin";
            return std::nullopt;
        }
        options.openings = *raw.openings;
        if (options.games % 2 != 0) {
            error = "--games must be even with --openings: each opening is played twice";
            return std::nullopt;
        }
    }
    if (raw.seed) {
        std::uint64_t seed = 0;
        const auto [end, problem] =
            std::from_chars(raw.seed->data(), raw.seed->data() + raw.seed->size(), seed);
        if (raw.seed->empty() || problem != std::errc() ||
            end != raw.seed->data() + raw.seed->size()) {
            error = "--seed needs a whole number, not \"" + *raw.seed + "\"";
            return std::nullopt;
        }
        if (!raw.openings) {
            error = "--seed shuffles openings: it needs --openings";
            return std::nullopt;
        }
        options.seed = seed;
    }
    for (const auto& [name, text, field] :
         {std::tuple{"--move-time", &raw.moveTime, &options.moveTime},
          std::tuple{"--start-time", &raw.startTime, &options.startTime}}) {
        const std::optional<std::chrono::milliseconds> duration = ParseDuration(*text);
        if (!duration) {
            error = std::string(name) +
                    " needs a time such as 5, 0.5s or 500ms (at most a day), not \"" + *text + "\"";
            return std::nullopt;
        }
        *field = *duration;
    }
    if (raw.logPath) {
        if (raw.logPath->empty()) {
            error = "--log needs a file name";
            return std::nullopt;
        }
        options.logPath = *raw.logPath;
    }
    if (raw.botMemory) {
        options.limits.memoryBytes = BotLimits::ParseSize(*raw.botMemory);
        if (!options.limits.memoryBytes) {
            error = "--bot-memory needs a size from 1M to 1T such as 512M, not \"" +
                    *raw.botMemory + "\"";
            return std::nullopt;
        }
        options.limits.memoryText = *raw.botMemory;
    }
    if (raw.botProcesses) {
        options.limits.processes = ParseCount(*raw.botProcesses, 1, kMaxBotProcesses);
        if (!options.limits.processes) {
            error = "--bot-processes needs a whole number from 1 to " +
                    std::to_string(kMaxBotProcesses) + ", not \"" + *raw.botProcesses + "\"";
            return std::nullopt;
        }
    }
    if (raw.botCpuTime) {
        const std::optional<std::chrono::milliseconds> cpu = ParseDuration(*raw.botCpuTime);
        if (!cpu) {
            error = "--bot-cpu-time needs a time such as 10 or 2.5s (at most a day), not \"" +
                    *raw.botCpuTime + "\"";
            return std::nullopt;
        }
        options.limits.cpuSeconds = static_cast<int>((cpu->count() + 999) / 1000);
    }
    if (!raw.sandboxAllow.empty() && !raw.sandbox) {
        error = "--sandbox-allow needs --sandbox";
        return std::nullopt;
    }
    options.sandbox = raw.sandbox;
    options.sandboxAllow = raw.sandboxAllow;
    options.resume = raw.resume;
    if (options.resume && options.logPath.empty()) {
        error = "--resume needs the --log of the run to resume";
        return std::nullopt;
    }
    options.quiet = raw.quiet;
    options.audit = raw.audit;
    if (raw.book && !raw.audit) {
        error = "--book needs --audit";
        return std::nullopt;
    }
    options.book = raw.book.value_or(std::string());

    if (raw.commands.size() < 2) {
        error = "at least two bot command lines are needed";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < raw.commands.size(); ++i) {
        if (raw.commands[i].find_first_not_of(" \t\n") == std::string::npos) {
            error = "the command line of bot " + std::to_string(i + 1) + " is empty";
            return std::nullopt;
        }
    }
    options.commands = raw.commands;
    const std::size_t bots = options.commands.size();
    if (raw.names.size() > bots) {
        error = "--name is given " + std::to_string(raw.names.size()) + " times for " +
                std::to_string(bots) + " bots";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < bots; ++i) {
        std::string name =
            i < raw.names.size() ? raw.names[i] : MatchReport::Label(options.commands[i]);
        if (name.empty() || name.find_first_of("\t\n\r") != std::string::npos) {
            error = "--name needs a name without tabs or line ends";
            return std::nullopt;
        }
        // A default name that another bot has already gets the bot's number.
        if (i >= raw.names.size() &&
            std::find(options.names.begin(), options.names.end(), name) != options.names.end()) {
            name += " #" + std::to_string(i + 1);
        }
        if (std::find(options.names.begin(), options.names.end(), name) != options.names.end()) {
            error = "two bots are named \"" + name + "\"";
            return std::nullopt;
        }
        options.names.push_back(name);
    }
    if (raw.format) {
        if (*raw.format == "round-robin") {
            options.format = MatchSchedule::Format::RoundRobin;
        } else if (*raw.format == "gauntlet") {
            options.format = MatchSchedule::Format::Gauntlet;
        } else {
            error = "--format needs round-robin or gauntlet, not \"" + *raw.format + "\"";
            return std::nullopt;
        }
    }
    if (bots > 2 && options.games % 2 != 0) {
        error =
            "--games must be even with three bots or more: each pairing plays its games in "
            "pairs, the first mover swapped";
        return std::nullopt;
    }
    if (raw.sprt) {
        options.sprt = MatchStatistics::Sprt::Parse(*raw.sprt);
        if (!options.sprt) {
            error =
                "--sprt needs ELO0,ELO1 with ELO0 < ELO1, and error rates between 0 and 0.5 "
                "if given, not \"" +
                *raw.sprt + "\"";
            return std::nullopt;
        }
        options.sprtText = *raw.sprt;
        if (bots != 2 || options.games % 2 != 0) {
            error =
                "--sprt tests two bots on pairs of games: it needs two bots and an even --games";
            return std::nullopt;
        }
    }
    if (raw.shard) {
        const std::optional<std::pair<int, int>> shard = ParseShard(*raw.shard, kMaxGames);
        if (!shard) {
            error = "--shard needs K/N with 1 <= K <= N, not \"" + *raw.shard + "\"";
            return std::nullopt;
        }
        if (options.sprt) {
            error = "--sprt decides on all the pairs at once: it cannot run in shards";
            return std::nullopt;
        }
        options.shard = shard->first;
        options.shards = shard->second;
    }
    return options;
}
