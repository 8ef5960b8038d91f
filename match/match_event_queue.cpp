#include "match/match_event_queue.h"

#include <utility>

void MatchEventQueue::Push(MatchEvent event) {
    {
        std::lock_guard lock(m_mutex);
        event.sequence = ++m_lastSequence;
        m_events.push_back(std::move(event));
    }
    m_changed.notify_all();
}

void MatchEventQueue::Interrupt(int signal) {
    {
        std::lock_guard lock(m_mutex);
        if (m_interruptSignal == 0) {
            m_interruptSignal = signal;
        }
    }
    m_changed.notify_all();
}

std::uint64_t MatchEventQueue::LastSequence() const {
    std::lock_guard lock(m_mutex);
    return m_lastSequence;
}

std::optional<MatchEvent> MatchEventQueue::PopUntil(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_until(lock, deadline,
                         [this] { return m_interruptSignal != 0 || !m_events.empty(); });
    if (m_interruptSignal != 0) {
        MatchEvent event;
        event.kind = MatchEvent::Kind::Interrupt;
        event.signal = m_interruptSignal;
        event.at = Clock::now();
        return event;
    }
    if (m_events.empty()) {
        return std::nullopt;
    }
    MatchEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}
