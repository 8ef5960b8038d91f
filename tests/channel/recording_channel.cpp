#include "tests/channel/recording_channel.h"

#include "tests/testbots/wait_until.h"

std::vector<RecordingChannel::Event> RecordingChannel::Events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::string RecordingChannel::Output() const {
    std::lock_guard lock(m_mutex);
    std::string output;
    for (const Event& event : m_events) {
        if (!event.error) {
            output += event.text;
        }
    }
    return output;
}

bool RecordingChannel::WaitOutput(const std::string& text,
                                  std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return Output().find(text) != std::string::npos; }, timeout);
}

bool RecordingChannel::WaitClosed(std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return Fields().IsClosed(); }, timeout);
}

void RecordingChannel::Record(bool error, const char* text) {
    Event event{error, text, std::this_thread::get_id()};
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
    }
    if (m_hook) {
        m_hook(*this, event);
    }
}
