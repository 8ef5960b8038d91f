#include "match/match_event_queue.h"

#include "channel/player_channel.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <climits>
#include <system_error>
#include <utility>

MatchEventQueue::MatchEventQueue() : m_wake(eventfd(0, EFD_CLOEXEC)) {
    if (m_wake < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

MatchEventQueue::~MatchEventQueue() {
    close(m_wake);
}

void MatchEventQueue::Push(MatchEvent event) {
    event.sequence = ++m_lastSequence;
    m_events.push_back(std::move(event));
}

void MatchEventQueue::Interrupt(int signal) {
    int none = 0;
    m_interruptSignal.compare_exchange_strong(none, signal);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wake, &one, sizeof one);
}

std::optional<MatchEvent> MatchEventQueue::TryPop() {
    if (const int signal = m_interruptSignal.load(); signal != 0) {
        MatchEvent event;
        event.kind = MatchEvent::Kind::Interrupt;
        event.signal = signal;
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

std::optional<MatchEvent> MatchEventQueue::PopUntil(Clock::time_point deadline,
                                                    std::span<CPlayerChannel* const> channels) {
    for (;;) {
        if (std::optional<MatchEvent> event = TryPop()) {
            return event;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return std::nullopt;
        }
        // Whole milliseconds, rounded up, so that the wait never ends before the deadline.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        const int timeoutMs = left > INT_MAX ? -1 : static_cast<int>(left);
        CPlayerChannel::Pump(channels, m_wake, timeoutMs);
    }
}

void MatchEventQueue::TakeArrived(std::span<CPlayerChannel* const> channels) {
    CPlayerChannel::Pump(channels, m_wake, 0);
}
