#include "channel/pane_player_channel.h"

#include <utility>

namespace {

constexpr const char kErrorPrefix[] = "\r\nError message: ";

}  // namespace

CPanePlayerChannel::CPanePlayerChannel() = default;

CPanePlayerChannel::~CPanePlayerChannel() {
    // The close requests the reader's stop signal before anything else: from then on every pane
    // operation of a delivery under way is abandoned and no store happens (WriteStdOut checks the
    // signal under the mutex), and the reader has ended before the members below go.
    CloseQuietly();
}

void CPanePlayerChannel::SetPane(ITextPane* pane) {
    std::lock_guard lock(m_outputMutex);
    m_pane = pane;
}

ITextPane* CPanePlayerChannel::Pane() const {
    std::lock_guard lock(m_outputMutex);
    return m_pane;
}

CPanePlayerChannel::OutputSnapshot CPanePlayerChannel::SnapshotOutput() const {
    std::lock_guard lock(m_outputMutex);
    return {m_lastOutput, m_hasOutput, m_serial};
}

void CPanePlayerChannel::ClearOutputFlag(std::uint64_t serial) {
    std::lock_guard lock(m_outputMutex);
    if (m_serial == serial) {
        m_hasOutput = 0;
    }
}

void CPanePlayerChannel::ClearOutputFlag() {
    std::lock_guard lock(m_outputMutex);
    m_hasOutput = 0;
}

void CPanePlayerChannel::SetLastOutput(std::string text) {
    std::lock_guard lock(m_outputMutex);
    m_lastOutput = std::move(text);
    ++m_serial;
}

void CPanePlayerChannel::SetLastOutput(std::string text, int flag) {
    std::lock_guard lock(m_outputMutex);
    m_lastOutput = std::move(text);
    m_hasOutput = flag;
    ++m_serial;
}

void CPanePlayerChannel::WriteStdOut(const char* text) {
    const std::shared_ptr<StopSignal> stop = ReaderStopSignal();
    ITextPane* const pane = Pane();
    if (pane == nullptr) {
        return;
    }
    // The store runs on the window thread, inside the append's step. A step of the reader runs
    // only while its stop has not been requested, and the channel requests it (on the window
    // thread, which owns the channel) whenever it is closed or destroyed, so `this` is alive
    // whenever the store runs.
    std::string chunk(text);
    pane->Append(
        chunk,
        [this, chunk, stop] {
            // Stored and flagged before the pane shows the text. Not once a stop was requested:
            // the channel is closing and this delivery is given up.
            std::lock_guard lock(m_outputMutex);
            if (stop != nullptr && stop->Requested()) {
                return false;
            }
            m_lastOutput = chunk;
            m_hasOutput = 1;
            ++m_serial;
            return true;
        },
        stop);
}

void CPanePlayerChannel::WriteStdError(const char* text) {
    WriteStdOut(kErrorPrefix);
    WriteStdOut(text);
}
