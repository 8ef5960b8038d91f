#include "match/match_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kMaxDurationMs = 24.0 * 60 * 60 * 1000;

// A whole number of games in 1..kMaxGames, or nothing.
std::optional<int> ParseGames(std::string_view text) {
    int games = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), games);
    if (error != std::errc() || end != text.data() + text.size() || games < 1 ||
        games > MatchOptions::kMaxGames) {
        return std::nullopt;
    }
    return games;
}

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

std::string MatchOptions::Usage() {
    return "usage: fourfall-match [options] COMMAND1 COMMAND2\n"
           "Plays a match between two bots without a window. Each COMMAND is one bot's command\n"
           "line, quoted as one argument; COMMAND1 is player 1.\n"
           "  --games N         games to play (default 10); the first mover alternates\n"
           "  --move-time T     time limit for each move (default 5s)\n"
           "  --start-time T    time limit for the \"p\" before each game (default 10s)\n"
           "  --log FILE        write one JSON object per game to FILE (replaced)\n"
           "  --quiet           print only the final table\n"
           "  --help            print this text\n"
           "T is seconds (5, 0.5, 5s) or milliseconds (500ms).\n"
           "Exit status: 0 the match ran to its end, 1 a bot could not be started (or the log\n"
           "not written), 2 a usage error, 128+N when ended by signal N.\n";
}

std::optional<MatchOptions> MatchOptions::Parse(const std::vector<std::string>& args,
                                                std::string& error) {
    MatchOptions options;
    std::vector<std::string> commands;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            commands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }

        std::string name = arg;
        std::optional<std::string> value;
        if (const std::size_t equals = arg.find('='); equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (name != "--games" && name != "--move-time" && name != "--start-time" &&
            name != "--log") {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 == args.size()) {
                error = "option " + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (name == "--games") {
            const std::optional<int> games = ParseGames(*value);
            if (!games) {
                error = "--games needs a whole number from 1 to " + std::to_string(kMaxGames) +
                        ", not \"" + *value + "\"";
                return std::nullopt;
            }
            options.games = *games;
        } else if (name == "--log") {
            if (value->empty()) {
                error = "--log needs a file name";
                return std::nullopt;
            }
            options.logPath = *value;
        } else {
            const std::optional<std::chrono::milliseconds> duration = ParseDuration(*value);
            if (!duration) {
                error = name + " needs a time such as 5, 0.5s or 500ms (at most a day), not \"" +
                        *value + "\"";
                return std::nullopt;
            }
            (name == "--move-time" ? options.moveTime : options.startTime) = *duration;
        }
    }
    if (commands.size() != 2) {
        error = commands.size() < 2 ? "two bot command lines are needed"
                                    : "too many arguments: quote each command line as one";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < 2; ++i) {
        if (commands[i].find_first_not_of(" \t\n") == std::string::npos) {
            error = "the command line of player " + std::to_string(i + 1) + " is empty";
            return std::nullopt;
        }
        options.commands[i] = commands[i];
    }
    return options;
}
