#include "match/match_report.h"

#include "channel/split_command_line.h"
#include "match/elo_estimate.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

// The median and longest of `times` in the table's two timing columns; dashes when there are
// none.
std::string TimesText(std::vector<long long> times) {
    char text[64];
    if (times.empty()) {
        std::snprintf(text, sizeof text, "%9s  %6s", "-", "-");
        return text;
    }
    std::sort(times.begin(), times.end());
    const std::size_t middle = times.size() / 2;
    const double median = times.size() % 2 == 1
                              ? static_cast<double>(times[middle])
                              : static_cast<double>(times[middle - 1] + times[middle]) / 2.0;
    std::snprintf(text, sizeof text, "%9.1f  %6lld", median, times.back());
    return text;
}

}  // namespace

std::string MatchReport::Label(const std::string& commandLine) {
    std::string label;
    const std::optional<std::vector<std::string>> words = SplitCommandLine(commandLine);
    if (words && !words->empty()) {
        const std::string& program = words->front();
        const std::size_t slash = program.rfind('/');
        label = slash == std::string::npos || slash + 1 == program.size()
                    ? program
                    : program.substr(slash + 1);
        for (std::size_t i = 1; i < words->size(); ++i) {
            label += " " + (*words)[i];
        }
    } else {
        label = commandLine;
    }
    std::replace_if(
        label.begin(), label.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; },
        ' ');
    if (label.size() > kLabelMax) {
        label = label.substr(0, kLabelMax - 3) + "...";
    }
    return label;
}

std::string MatchReport::GameLine(const GameRecord& record, int games) {
    return "game " + std::to_string(record.number) + "/" + std::to_string(games) + ": " +
           record.ResultText() + ", " + record.reason + " (player " +
           std::to_string(record.firstMover) + " first, " +
           (record.opening.empty() ? "" : "opening " + record.opening + ", ") +
           std::to_string(record.moves.size()) +
           (record.moves.size() == 1 ? " move)" : " moves)");
}

std::string MatchReport::RestartLine(int player, int game, int games, bool started) {
    return "game " + std::to_string(game) + "/" + std::to_string(games) + ": player " +
           std::to_string(player) + " had ended and " +
           (started ? "was started again" : "could not be started again");
}

std::string MatchReport::Table(const std::vector<GameRecord>& records,
                               const std::array<std::string, 2>& labels) {
    int wins = 0;
    int draws = 0;
    int losses = 0;
    for (const GameRecord& record : records) {
        switch (record.outcome) {
            case GameRecord::Outcome::Player1Wins:
                ++wins;
                break;
            case GameRecord::Outcome::Player2Wins:
                ++losses;
                break;
            case GameRecord::Outcome::Draw:
                ++draws;
                break;
        }
    }
    const int games = static_cast<int>(records.size());
    const int width =
        static_cast<int>(std::max({labels[0].size(), labels[1].size(), std::size_t{3}}));

    std::string table;
    char line[256];
    std::snprintf(line, sizeof line,
                  "player  %-*s  games  wins  draws  losses    score  median ms  max ms\n", width,
                  "bot");
    table += line;
    const int counts[2][3] = {{wins, draws, losses}, {losses, draws, wins}};
    for (int slot = 0; slot < 2; ++slot) {
        const double score = counts[slot][0] + 0.5 * counts[slot][1];
        std::vector<long long> times;
        for (const GameRecord& record : records) {
            const std::vector<long long> own = record.MoveMsOf(slot + 1);
            times.insert(times.end(), own.begin(), own.end());
        }
        std::snprintf(line, sizeof line, "%-6d  %-*s  %5d  %4d  %5d  %6d  %7.1f  %s\n", slot + 1,
                      width, labels[slot].c_str(), games, counts[slot][0], counts[slot][1],
                      counts[slot][2], score, TimesText(times).c_str());
        table += line;
    }

    const EloEstimate elo = EloEstimate::FromResults(wins, draws, losses);
    if (!elo.valid) {
        return table + "Elo difference (player 1 - player 2): none, no games were played\n";
    }
    std::snprintf(line, sizeof line,
                  "Elo difference (player 1 - player 2): %+.1f \u00b1 %.1f (95 %%)", elo.difference,
                  elo.margin);
    table += line;
    if (elo.clamped) {
        std::snprintf(line, sizeof line,
                      "; one side won every game, so the score was clamped to %.1f of %d and the "
                      "difference is only a bound",
                      wins > 0 ? games - 0.5 : 0.5, games);
        table += line;
    }
    return table + "\n";
}
