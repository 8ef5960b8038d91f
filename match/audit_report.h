#pragma once

#include "match/game_record.h"

#include <string>
#include <vector>

// What the reports say of audited games (fourfall-match --audit): per bot its moves, the share
// that kept the best score and its blunders, each blunder in a sentence, and one game move by
// move. Pure formatting; any thread.
struct AuditReport {
    struct Tally {
        int moves = 0;
        int best = 0;
        int blunders = 0;
    };

    // The tallies of each of `bots` bots over the audited games of `records`.
    static std::vector<Tally> Count(const std::vector<GameRecord>& records, std::size_t bots);

    // The audit's lines of the final report: the table of Count and a sentence for each of the
    // first kListed blunders ("game 14, move 9 by b (column 3) threw a win away: a draw after
    // it"); empty when no game was audited. Each line ends in "\n".
    static std::string Lines(const std::vector<GameRecord>& records,
                             const std::vector<std::string>& names);

    // Game `record` (its scores filled in) move by move: a heading, then for each move who played
    // which column, the move's score beside the best one could have had, "BLUNDER" and what it
    // threw away where it did, and the board after it.
    static std::string Show(const GameRecord& record, const std::vector<std::string>& names);

    static constexpr int kListed = 20;
};
