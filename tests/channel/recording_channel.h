#pragma once

#include "channel/player_channel.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A player channel whose sinks record what they receive, on which thread, for tests. An optional
// hook runs inside the sink after the recording (to close from a sink, or to block in one).
class RecordingChannel : public CPlayerChannel {
public:
    struct Event {
        bool error;  // WriteStdError rather than WriteStdOut
        std::string text;
        std::thread::id thread;
    };
    using Hook = std::function<void(RecordingChannel&, const Event&)>;

    RecordingChannel() = default;
    explicit RecordingChannel(Hook hook) : m_hook(std::move(hook)) {}
    // The reader must be gone before the recording goes.
    ~RecordingChannel() override { CloseQuietly(); }

    std::vector<Event> Events() const;
    // The texts of WriteStdOut, joined.
    std::string Output() const;
    // Waits until Output() contains `text`; false on timeout.
    bool WaitOutput(const std::string& text, std::chrono::milliseconds timeout) const;
    // Waits until the channel is Closed (the reader closed it); false on timeout.
    bool WaitClosed(std::chrono::milliseconds timeout) const;

protected:
    void WriteStdOut(const char* text) override { Record(false, text); }
    void WriteStdError(const char* text) override { Record(true, text); }

private:
    void Record(bool error, const char* text);

    const Hook m_hook;
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
};
