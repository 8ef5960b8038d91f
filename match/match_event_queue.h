#pragma once

#include "match/match_event.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>

class CPlayerChannel;

// The events of one referee's match, in the order they happened: the lines and ends of both
// bots, which the referee's channels push while it pumps them (see CPlayerChannel::Pump), and an
// interrupt, which may come from any thread. Every event gets a sequence number as it is pushed,
// so the referee can tell which output arrived after a given message of its own (it notes
// LastSequence() right before writing the message).
//
// The referee reads its bots only while the queue is empty, so the queue never holds more than
// what one read of each pipe brought: a bot that writes faster than the referee takes its lines
// is held up by its own full pipe.
//
// Interrupt may run on any thread; everything else on the referee's.
class MatchEventQueue {
public:
    using Clock = std::chrono::steady_clock;

    MatchEventQueue();
    ~MatchEventQueue();

    MatchEventQueue(const MatchEventQueue&) = delete;
    MatchEventQueue& operator=(const MatchEventQueue&) = delete;

    // Appends `event`, stamping its sequence number. Referee thread (inside a pump).
    void Push(MatchEvent event);

    // Asks the referee to stop: the next PopUntil returns an Interrupt event carrying `signal`,
    // ahead of anything still queued, and so does every later one; a pump under way returns at
    // once. The first signal is kept. Any thread.
    void Interrupt(int signal);

    // True once Interrupt has run. Any thread.
    bool Interrupted() const { return m_interruptSignal.load() != 0; }

    // The sequence number of the last event pushed; 0 before any. Referee thread.
    std::uint64_t LastSequence() const { return m_lastSequence; }

    // The next event: an interrupt, or what is queued, or else what pumping `channels` brings
    // until `deadline` (Clock::time_point::max(): no limit); nothing when the deadline passed
    // first. Referee thread.
    std::optional<MatchEvent> PopUntil(Clock::time_point deadline,
                                       std::span<CPlayerChannel* const> channels = {});

    // Pumps `channels` for what has already arrived, without waiting. Referee thread.
    void TakeArrived(std::span<CPlayerChannel* const> channels);

private:
    std::optional<MatchEvent> TryPop();

    std::deque<MatchEvent> m_events;
    std::uint64_t m_lastSequence = 0;
    std::atomic<int> m_interruptSignal{0};
    // An eventfd that Interrupt makes readable for good, so that every pump after it returns.
    int m_wake = -1;
};
