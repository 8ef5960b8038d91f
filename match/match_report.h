#pragma once

#include "match/game_record.h"

#include <array>
#include <string>
#include <vector>

// What fourfall-match prints: a line per game, a note per restarted bot and the final table.
// Pure formatting; any thread.
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

    static constexpr std::size_t kLabelMax = 32;
};
