#pragma once

#include "match/match_event.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

// The one path from the reader threads of both bots (and the interrupt watcher) to the referee
// thread: a queue of events under a mutex, with a condition variable that wakes the referee. Every
// event gets a sequence number as it is pushed, so the referee can tell which output arrived after
// a given message of its own (it notes LastSequence() right before writing the message).
//
// Push, Interrupt and LastSequence may run on any thread; PopUntil on one consumer thread (the
// referee's).
class MatchEventQueue {
public:
    using Clock = std::chrono::steady_clock;

    // Appends `event`, stamping its sequence number, and wakes the referee. Any thread.
    void Push(MatchEvent event);

    // Asks the referee to stop: the next PopUntil returns an Interrupt event carrying `signal`,
    // ahead of anything still queued, and so does every later one. The first signal is kept.
    // Any thread.
    void Interrupt(int signal);

    // The sequence number of the last event pushed; 0 before any. Any thread.
    std::uint64_t LastSequence() const;

    // The next event, waiting until `deadline` at most; nothing when the deadline passed first.
    // Referee thread.
    std::optional<MatchEvent> PopUntil(Clock::time_point deadline);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<MatchEvent> m_events;
    std::uint64_t m_lastSequence = 0;
    int m_interruptSignal = 0;
};
