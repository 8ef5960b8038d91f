#include "match/match_runner.h"

#include <signal.h>

#include <algorithm>
#include <cstddef>
#include <thread>

MatchRunner::MatchRunner(const MatchReferee::Settings& settings, int referees) {
    for (int i = 0; i < std::max(referees, 1); ++i) {
        m_referees.push_back(std::make_unique<MatchReferee>(settings));
    }
}

MatchRunner::~MatchRunner() {
    EndBots();
}

int MatchRunner::StartBots(std::array<int, 2> bots) {
    for (const std::unique_ptr<MatchReferee>& referee : m_referees) {
        if (const int failed = referee->StartBots(bots); failed != 0) {
            return failed;
        }
    }
    return 0;
}

void MatchRunner::Interrupt(int signal) {
    int none = 0;
    m_interruptSignal.compare_exchange_strong(none, signal);
    for (const std::unique_ptr<MatchReferee>& referee : m_referees) {
        referee->Interrupt(signal);
    }
}

void MatchRunner::Stop() {
    if (!m_stopping.exchange(true)) {
        for (const std::unique_ptr<MatchReferee>& referee : m_referees) {
            referee->Interrupt(SIGTERM);
        }
    }
}

std::vector<GameRecord> MatchRunner::Play(const MatchSchedule& schedule,
                                          const std::vector<int>& numbers,
                                          const MatchReferee::Callbacks& callbacks) {
    std::mutex mutex;
    std::size_t next = 0;
    std::vector<GameRecord> records;
    // The callbacks, one at a time whichever referee calls them.
    MatchReferee::Callbacks serialised;
    if (callbacks.onGame) {
        serialised.onGame = [&](const GameRecord& record) {
            std::lock_guard lock(mutex);
            callbacks.onGame(record);
        };
    }
    if (callbacks.onRestart) {
        serialised.onRestart = [&](int player, int game, bool started) {
            std::lock_guard lock(mutex);
            callbacks.onRestart(player, game, started);
        };
    }

    const auto play = [&](MatchReferee& referee) {
        for (;;) {
            int number = 0;
            {
                std::lock_guard lock(mutex);
                if (next == numbers.size() || m_interruptSignal.load() != 0 || m_stopping.load()) {
                    return;
                }
                number = numbers[next++];
            }
            std::optional<GameRecord> record = referee.PlayGame(schedule.At(number), serialised);
            if (!record) {
                if (!referee.FatalError().empty() && !m_stopping.exchange(true)) {
                    m_fatalError = referee.FatalError();
                    // The others stop their games under way as at an interrupt.
                    for (const std::unique_ptr<MatchReferee>& other : m_referees) {
                        other->Interrupt(SIGTERM);
                    }
                }
                return;
            }
            std::lock_guard lock(mutex);
            records.push_back(std::move(*record));
        }
    };

    if (m_referees.size() == 1) {
        play(*m_referees.front());
    } else {
        std::vector<std::thread> threads;
        for (const std::unique_ptr<MatchReferee>& referee : m_referees) {
            threads.emplace_back(play, std::ref(*referee));
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    return records;
}

void MatchRunner::EndBots() {
    if (m_referees.size() == 1) {
        m_referees.front()->EndBots();
        return;
    }
    std::vector<std::thread> threads;
    for (const std::unique_ptr<MatchReferee>& referee : m_referees) {
        threads.emplace_back([&referee] { referee->EndBots(); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}
