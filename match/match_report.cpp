#include "match/match_report.h"

#include "channel/split_command_line.h"
#include "match/audit_report.h"
#include "match/elo_estimate.h"

#include <nlohmann/json.hpp>

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
           std::to_string(record.moves.size()) + (record.moves.size() == 1 ? " move)" : " moves)");
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

namespace {

// Bot `bot`'s points in `record` (1, 1/2, 0); precondition: it played.
double PointsOf(const GameRecord& record, int bot) {
    const bool first = record.players[0] == bot;
    switch (record.outcome) {
        case GameRecord::Outcome::Player1Wins:
            return first ? 1.0 : 0.0;
        case GameRecord::Outcome::Player2Wins:
            return first ? 0.0 : 1.0;
        case GameRecord::Outcome::Draw:
            break;
    }
    return 0.5;
}

struct Tally {
    int games = 0;
    int wins = 0;
    int draws = 0;
    int losses = 0;
    double Score() const { return wins + 0.5 * draws; }
    void Add(double points) {
        ++games;
        if (points == 1.0) {
            ++wins;
        } else if (points == 0.0) {
            ++losses;
        } else {
            ++draws;
        }
    }
};

// Per bot, and per pair of bots (row's results against the column).
struct Tallies {
    std::vector<Tally> bots;
    std::vector<std::vector<Tally>> against;
};

Tallies Count(const std::vector<GameRecord>& records, std::size_t bots) {
    Tallies tallies;
    tallies.bots.resize(bots);
    tallies.against.assign(bots, std::vector<Tally>(bots));
    for (const GameRecord& record : records) {
        const auto a = static_cast<std::size_t>(record.players[0]);
        const auto b = static_cast<std::size_t>(record.players[1]);
        if (a >= bots || b >= bots) {
            continue;
        }
        tallies.bots[a].Add(PointsOf(record, record.players[0]));
        tallies.bots[b].Add(PointsOf(record, record.players[1]));
        tallies.against[a][b].Add(PointsOf(record, record.players[0]));
        tallies.against[b][a].Add(PointsOf(record, record.players[1]));
    }
    return tallies;
}

MatchStatistics::Ratings Fit(const std::vector<GameRecord>& records, std::size_t bots) {
    std::vector<MatchStatistics::RatedGame> games;
    for (const GameRecord& record : records) {
        if (static_cast<std::size_t>(record.players[0]) >= bots ||
            static_cast<std::size_t>(record.players[1]) >= bots) {
            continue;
        }
        const int first = record.players[record.firstMover - 1];
        const int second = record.players[2 - record.firstMover];
        games.push_back({first, second, PointsOf(record, first)});
    }
    return MatchStatistics::FitRatings(static_cast<int>(bots), games);
}

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

MatchStatistics::Pentanomial MatchReport::Pairs(const std::vector<GameRecord>& records) {
    std::vector<const GameRecord*> byNumber;
    for (const GameRecord& record : records) {
        if (record.number >= 1) {
            if (byNumber.size() < static_cast<std::size_t>(record.number) + 1) {
                byNumber.resize(static_cast<std::size_t>(record.number) + 1, nullptr);
            }
            byNumber[static_cast<std::size_t>(record.number)] = &record;
        }
    }
    MatchStatistics::Pentanomial pairs;
    for (std::size_t odd = 1; odd + 1 < byNumber.size(); odd += 2) {
        const GameRecord* first = byNumber[odd];
        const GameRecord* second = byNumber[odd + 1];
        if (first != nullptr && second != nullptr && first->players == second->players) {
            pairs.Add(PointsOf(*first, first->players[0]) + PointsOf(*second, first->players[0]));
        }
    }
    return pairs;
}

std::string MatchReport::PairLines(const std::vector<GameRecord>& records,
                                   const std::optional<MatchStatistics::Sprt>& sprt) {
    const Tallies tallies = Count(records, 2);
    const Tally& one = tallies.bots[0];
    std::string text;
    if (one.games > 0) {
        text += Format("draw ratio %.1f %%, likelihood that player 1 is the stronger %.1f %%\n",
                       100.0 * one.draws / one.games,
                       100.0 * MatchStatistics::LikelihoodOfSuperiority(one.wins, one.losses));
    }
    const MatchStatistics::Pentanomial pairs = Pairs(records);
    if (const std::optional<MatchStatistics::EloInterval> elo =
            MatchStatistics::PentanomialElo(pairs)) {
        const auto& c = pairs.counts;
        text += "pairs " + std::to_string(pairs.Pairs()) + " (LL " + std::to_string(c[0]) +
                ", LD " + std::to_string(c[1]) + ", DD+WL " + std::to_string(c[2]) + ", WD " +
                std::to_string(c[3]) + ", WW " + std::to_string(c[4]) + "), Elo from the pairs " +
                Format("%+.1f [%+.1f, %+.1f] (95 %%)\n", elo->elo, elo->low, elo->high);
    }
    if (sprt) {
        const std::string verdict = sprt->Verdict(pairs);
        text += Format("SPRT of %g against %g Elo", sprt->elo0, sprt->elo1) +
                Format(" (alpha %g, beta %g): ", sprt->alpha, sprt->beta) +
                Format("LLR %.2f, bounds [%.2f, %.2f], ", sprt->Llr(pairs), sprt->LowerBound(),
                       sprt->UpperBound()) +
                (verdict.empty() ? "no verdict yet" : verdict) + "\n";
    }
    return text;
}

std::string MatchReport::Final(const std::vector<GameRecord>& records,
                               const std::vector<std::string>& names,
                               const std::optional<MatchStatistics::Sprt>& sprt) {
    if (names.size() == 2) {
        return Table(records, {names[0], names[1]}) + PairLines(records, sprt) +
               AuditReport::Lines(records, names);
    }
    const Tallies tallies = Count(records, names.size());
    const MatchStatistics::Ratings ratings = Fit(records, names.size());
    std::size_t width = 3;
    for (const std::string& name : names) {
        width = std::max(width, name.size());
    }
    const int w = static_cast<int>(width);
    char line[512];

    std::string text = "cross-table: wins-draws-losses of each row's bot against each column's\n";
    std::snprintf(line, sizeof line, "%3s  %-*s", "", w, "bot");
    text += line;
    for (std::size_t column = 0; column < names.size(); ++column) {
        std::snprintf(line, sizeof line, "  %9zu", column + 1);
        text += line;
    }
    text += "\n";
    for (std::size_t row = 0; row < names.size(); ++row) {
        std::snprintf(line, sizeof line, "%3zu  %-*s", row + 1, w, names[row].c_str());
        text += line;
        for (std::size_t column = 0; column < names.size(); ++column) {
            const Tally& t = tallies.against[row][column];
            const std::string cell = row == column || t.games == 0
                                         ? "-"
                                         : std::to_string(t.wins) + "-" + std::to_string(t.draws) +
                                               "-" + std::to_string(t.losses);
            std::snprintf(line, sizeof line, "  %9s", cell.c_str());
            text += line;
        }
        text += "\n";
    }

    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return ratings.ratings[a] > ratings.ratings[b];
    });
    text += "ranking by ratings fitted to all games (mean 0, 95 % margins), first-move advantage " +
            Format("%+.1f \u00b1 %.1f\n", ratings.advantage, ratings.advantageMargin);
    std::snprintf(line, sizeof line,
                  "rank  %-*s  rating  margin  games  wins  draws  losses    score\n", w, "bot");
    text += line;
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const std::size_t bot = order[rank];
        const Tally& t = tallies.bots[bot];
        std::snprintf(line, sizeof line, "%-4zu  %-*s  %+6.1f  %6.1f  %5d  %4d  %5d  %6d  %7.1f\n",
                      rank + 1, w, names[bot].c_str(), ratings.ratings[bot], ratings.margins[bot],
                      t.games, t.wins, t.draws, t.losses, t.Score());
        text += line;
    }
    return text + AuditReport::Lines(records, names);
}

std::string MatchReport::FinalJson(const std::vector<GameRecord>& records,
                                   const std::vector<std::string>& names,
                                   const std::optional<MatchStatistics::Sprt>& sprt) {
    using Json = nlohmann::ordered_json;
    const Tallies tallies = Count(records, names.size());
    const MatchStatistics::Ratings ratings = Fit(records, names.size());
    Json json;
    json["games"] = records.size();
    Json bots = Json::array();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const Tally& t = tallies.bots[i];
        bots.push_back({{"name", names[i]},
                        {"games", t.games},
                        {"wins", t.wins},
                        {"draws", t.draws},
                        {"losses", t.losses},
                        {"score", t.Score()},
                        {"rating", ratings.ratings[i]},
                        {"rating_margin", ratings.margins[i]}});
    }
    if (const std::vector<AuditReport::Tally> audit = AuditReport::Count(records, names.size());
        std::any_of(audit.begin(), audit.end(),
                    [](const AuditReport::Tally& t) { return t.moves > 0; })) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            bots[i]["audit"] = {{"moves", audit[i].moves},
                                {"best", audit[i].best},
                                {"blunders", audit[i].blunders}};
        }
    }
    json["bots"] = bots;
    json["first_move_advantage"] = {{"elo", ratings.advantage},
                                    {"margin", ratings.advantageMargin}};
    if (names.size() == 2) {
        const Tally& one = tallies.bots[0];
        const EloEstimate elo = EloEstimate::FromResults(one.wins, one.draws, one.losses);
        json["elo"] = elo.valid ? Json{{"difference", elo.difference},
                                       {"margin", elo.margin},
                                       {"bound_only", elo.clamped}}
                                : Json();
        json["los"] = MatchStatistics::LikelihoodOfSuperiority(one.wins, one.losses);
        json["draw_ratio"] = one.games > 0 ? static_cast<double>(one.draws) / one.games : 0.0;
        const MatchStatistics::Pentanomial pairs = Pairs(records);
        json["pentanomial"] = pairs.counts;
        if (const std::optional<MatchStatistics::EloInterval> pairElo =
                MatchStatistics::PentanomialElo(pairs)) {
            json["pair_elo"] = {
                {"elo", pairElo->elo}, {"low", pairElo->low}, {"high", pairElo->high}};
        } else {
            json["pair_elo"] = nullptr;
        }
        if (sprt) {
            const std::string verdict = sprt->Verdict(pairs);
            json["sprt"] = {{"elo0", sprt->elo0},
                            {"elo1", sprt->elo1},
                            {"alpha", sprt->alpha},
                            {"beta", sprt->beta},
                            {"llr", sprt->Llr(pairs)},
                            {"lower", sprt->LowerBound()},
                            {"upper", sprt->UpperBound()},
                            {"verdict", verdict.empty() ? "none" : verdict.substr(0, 2)}};
        }
    } else {
        Json table = Json::array();
        for (std::size_t row = 0; row < names.size(); ++row) {
            Json cells = Json::array();
            for (std::size_t column = 0; column < names.size(); ++column) {
                const Tally& t = tallies.against[row][column];
                cells.push_back({t.wins, t.draws, t.losses});
            }
            table.push_back(cells);
        }
        json["cross_table"] = table;
    }
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}
