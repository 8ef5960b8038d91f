#include "match/match_schedule.h"

#include "match/openings.h"

MatchSchedule::MatchSchedule(int bots, Format format, int gamesPerPairing,
                             std::vector<std::string> openings)
    : m_gamesPerPairing(gamesPerPairing), m_openings(std::move(openings)) {
    for (int first = 0; first < bots; ++first) {
        for (int second = first + 1; second < bots; ++second) {
            if (format == Format::RoundRobin || first == 0) {
                m_pairings.push_back({first, second});
            }
        }
    }
}

MatchSchedule::Game MatchSchedule::At(int number) const {
    Game game;
    game.number = number;
    const int pairing = (number - 1) / m_gamesPerPairing;
    const int local = (number - 1) % m_gamesPerPairing + 1;
    game.bots = m_pairings[static_cast<std::size_t>(pairing)];
    if (!m_openings.empty()) {
        game.opening = Openings::ForGame(m_openings, local);
    }
    return game;
}

std::vector<int> MatchSchedule::Shard(int shard, int shards) const {
    std::vector<int> numbers;
    const int pairs = (Games() + 1) / 2;
    for (int pair = shard - 1; pair < pairs; pair += shards) {
        for (int number = 2 * pair + 1; number <= std::min(2 * pair + 2, Games()); ++number) {
            numbers.push_back(number);
        }
    }
    return numbers;
}
