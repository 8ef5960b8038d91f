#pragma once

#include "match/game_record.h"
#include "match/match_statistics.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// What fourfall-match and fourfall-report print: a line per game, a note per restarted bot and
// the final report, as text or as one JSON object. Pure formatting and computation; any thread.
class MatchReport {
public:
    // The bot's name in the table: its command line with the program's directory left out,
    // shortened to kLabelMax characters ("..." at the end when cut).
    static std::string Label(const std::string& commandLine);

    // "game 3/10: 1-0, player 1 has four in a line (player 1 first, 7 moves)"
    static std::string GameLine(const GameRecord& record, int games);

    // "game 4/10: player 2 had ended and was started again" (or "... could not be started again")
    static std::string RestartLine(int player, int game, int games, bool started);

    // The table of both bots (games, wins, draws, losses, score, the median and longest time of
    // its moves in milliseconds) and the Elo difference of player 1 over player 2 with its 95 %
    // margin; several lines, each ending in "\n".
    static std::string Table(const std::vector<GameRecord>& records,
                             const std::array<std::string, 2>& labels);

    // The final report of `records` (any order) between the bots named `names`: for two bots the
    // Table and the lines of PairLines; for more, the cross-table and the ranking by fitted
    // ratings; then the audit's lines (AuditReport::Lines) when games were audited. Several
    // lines, each ending in "\n".
    static std::string Final(const std::vector<GameRecord>& records,
                             const std::vector<std::string>& names,
                             const std::optional<MatchStatistics::Sprt>& sprt);

    // The same as one JSON object without a line end: "games", "bots" (per bot "name", "games",
    // "wins", "draws", "losses", "score", "rating", "rating_margin", and "audit" with "moves",
    // "best" and "blunders" when games were audited), "first_move_advantage"; for two bots also
    // "elo", "los", "draw_ratio", "pentanomial" (LL, LD, DD+WL, WD, WW), "pair_elo" and "sprt" when
    // one ran; for more, "cross_table" (per row bot, per column bot, [W, D, L]).
    static std::string FinalJson(const std::vector<GameRecord>& records,
                                 const std::vector<std::string>& names,
                                 const std::optional<MatchStatistics::Sprt>& sprt);

    // The pentanomial counts of the complete pairs (games 2k-1 and 2k of the same two bots) of
    // a two-bot run, from player 1's side.
    static MatchStatistics::Pentanomial Pairs(const std::vector<GameRecord>& records);

    // The draw ratio, the likelihood of superiority, the pentanomial counts with the Elo from
    // the pairs, and the state of the test when one ran; several lines, each ending in "\n".
    static std::string PairLines(const std::vector<GameRecord>& records,
                                 const std::optional<MatchStatistics::Sprt>& sprt);

    static constexpr std::size_t kLabelMax = 32;
};
