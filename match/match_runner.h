#pragma once

#include "match/game_record.h"
#include "match/match_referee.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Plays the games of a match on several referees at once, each with its own two bot processes and
// a thread of its own, so that N games run side by side. Every game keeps its number and hence its
// first mover, whichever referee plays it; games finish, and are reported, in any order.
//
// Threads: the constructing thread runs StartBots, Play and EndBots; the callbacks run on the
// referees' threads, one at a time (the runner serialises them); Interrupt on any thread.
class MatchRunner {
public:
    // `referees` (at least 1) referees of `settings`; starts nothing yet. Constructing thread.
    MatchRunner(const MatchReferee::Settings& settings, int referees);
    // Ends every bot. Constructing thread.
    ~MatchRunner();

    MatchRunner(const MatchRunner&) = delete;
    MatchRunner& operator=(const MatchRunner&) = delete;

    // Starts every referee's bots, referee by referee: those of `bots` (indices into the
    // settings' commands). Returns 0 when all run; otherwise the slot (1 or 2) of the first bot
    // that could not be started, with errno from the failed start.
    int StartBots(std::array<int, 2> bots = {0, 1});

    // Plays the games of `schedule` numbered `numbers`, each once, taken in the given order by
    // whichever referee is free; stops taking games once interrupted or stopped (games under way
    // are dropped). Returns the records of the games played, in the order they finished.
    std::vector<GameRecord> Play(const MatchSchedule& schedule, const std::vector<int>& numbers,
                                 const MatchReferee::Callbacks& callbacks);

    // Makes Play take no further game and drop the games under way, as at an interrupt but
    // without a signal (a sequential test has decided). Any thread, the callbacks' included.
    void Stop();

    // Asks Play to stop at once. Any thread.
    void Interrupt(int signal);

    // The signal that interrupted Play; 0 when it ran to its end.
    int InterruptSignal() const { return m_interruptSignal.load(); }

    // Why Play stopped early without a signal (see MatchReferee::FatalError); empty when it did
    // not. After Play.
    const std::string& FatalError() const { return m_fatalError; }

    // Ends every referee's bots, all at once. Safe to call more than once.
    void EndBots();

private:
    std::vector<std::unique_ptr<MatchReferee>> m_referees;
    std::atomic<int> m_interruptSignal{0};
    // Set once by the first referee that stops with a fatal error, which stops the others.
    std::atomic<bool> m_stopping{false};
    std::string m_fatalError;
};
