#pragma once

#include <array>
#include <string>
#include <vector>

// The fixed schedule of a run: which bots play each game, in which order, from which opening.
// The bots' pairings come in order (a round robin: 1-2, 1-3, ..., 2-3, ...; a gauntlet: 1-2,
// 1-3, ... only), each with the same number of games; game numbers run across them, so the games
// of pairing k (0-based) are numbered k G + 1 .. (k + 1) G. Within a pairing the first bot is
// player 1, who moves first in its odd games, and each pair of games (1-2, 3-4, ...) shares an
// opening. The schedule does not depend on anything that happens in the games, so runs cut into
// shards play exactly the games of the whole run.
//
// Plain data; any thread.
class MatchSchedule {
public:
    enum class Format {
        RoundRobin,
        Gauntlet,
    };

    struct Game {
        int number = 0;
        // Indices of the bots: player 1's, then player 2's.
        std::array<int, 2> bots{};
        std::string opening;
    };

    // The schedule of `bots` bots (at least 2) in `format`, `gamesPerPairing` games each
    // (even when there are openings), from `openings` (empty: none).
    MatchSchedule(int bots, Format format, int gamesPerPairing, std::vector<std::string> openings);

    int Games() const { return static_cast<int>(m_pairings.size()) * m_gamesPerPairing; }
    int GamesPerPairing() const { return m_gamesPerPairing; }
    const std::vector<std::array<int, 2>>& Pairings() const { return m_pairings; }

    // Game `number`, 1..Games().
    Game At(int number) const;

    // The game numbers of shard `shard` of `shards` (1 <= shard <= shards), ascending: every
    // shards-th pair of games, starting with pair `shard`.
    std::vector<int> Shard(int shard, int shards) const;

private:
    std::vector<std::array<int, 2>> m_pairings;
    int m_gamesPerPairing;
    std::vector<std::string> m_openings;
};
