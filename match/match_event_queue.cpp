#include "match/match_event_queue.h"

#include "channel/stop_signal.h"

#include <utility>

namespace {

using namespace std::chrono_literals;

// How often a Push held up for room looks at its stop signal.
constexpr auto kStopCheck = 10ms;

}  // namespace

std::size_t MatchEventQueue::Cost(const MatchEvent& event) {
    return sizeof(MatchEvent) + event.text.size();
}

void MatchEventQueue::Push(MatchEvent event, const StopSignal* stop) {
    const std::size_t slot = event.player == 2 ? 1 : 0;
    const std::size_t cost = Cost(event);
    {
        std::unique_lock lock(m_mutex);
        while (m_queuedBytes[slot] + cost > kMaxQueuedBytes) {
            // Once interrupted, the referee takes nothing more.
            if (m_interruptSignal != 0 || (stop != nullptr && stop->Requested())) {
                return;
            }
            m_room.wait_for(lock, kStopCheck);
        }
        event.sequence = ++m_lastSequence;
        m_queuedBytes[slot] += cost;
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
    m_room.notify_all();
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
    m_queuedBytes[event.player == 2 ? 1 : 0] -= Cost(event);
    lock.unlock();
    m_room.notify_all();
    return event;
}
