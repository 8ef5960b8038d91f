#pragma once

#include "match/match_event.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

class StopSignal;

// The one path from the reader threads of both bots (and the interrupt watcher) to the referee
// thread: a queue of events under a mutex, with a condition variable that wakes the referee. Every
// event gets a sequence number as it is pushed, so the referee can tell which output arrived after
// a given message of its own (it notes LastSequence() right before writing the message).
//
// The queue holds at most about kMaxQueuedBytes of each bot's events: a bot that writes faster
// than the referee takes its lines is held up in Push (and so, through its full pipe, in its own
// writes) instead of growing the queue.
//
// Push, Interrupt and LastSequence may run on any thread; PopUntil on one consumer thread (the
// referee's).
class MatchEventQueue {
public:
    using Clock = std::chrono::steady_clock;

    // What one bot may have queued at most, counting each event as its text and a fixed overhead.
    static constexpr std::size_t kMaxQueuedBytes = 1 << 20;

    // Appends `event`, stamping its sequence number, and wakes the referee. While the event's bot
    // (player 1 or 2) has kMaxQueuedBytes queued, waits for room first, unless `stop` (may be
    // null) is or becomes requested, in which case the event is dropped. Any thread.
    void Push(MatchEvent event, const StopSignal* stop = nullptr);

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
    static std::size_t Cost(const MatchEvent& event);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::condition_variable m_room;
    std::deque<MatchEvent> m_events;
    // Bytes queued per bot, by slot - 1.
    std::array<std::size_t, 2> m_queuedBytes{};
    std::uint64_t m_lastSequence = 0;
    int m_interruptSignal = 0;
};
