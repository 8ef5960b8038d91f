#include "match/match_player_channel.h"

#include "match/match_event_queue.h"

#include <chrono>
#include <cstring>
#include <utility>

namespace {

constexpr const char kPlayerQuit[] = "\r\nPlayer Quit\r\n";

}  // namespace

MatchPlayerChannel::MatchPlayerChannel(MatchEventQueue& queue, int player, unsigned pollMs)
    : CPlayerChannel(pollMs), m_queue(queue), m_player(player) {}

MatchPlayerChannel::~MatchPlayerChannel() {
    CloseQuietly();
}

int MatchPlayerChannel::Start(const std::string& commandLine) {
    // Once Close returns, the previous reader has ended (or been abandoned, and then it calls no
    // sink any more), so the fields below are ours until Open starts the next reader.
    Close();
    m_assembler.Reset();
    ++m_generation;
    return Open(commandLine.c_str());
}

void MatchPlayerChannel::WriteStdOut(const char* text) {
    const auto at = std::chrono::steady_clock::now();
    std::vector<std::string> lines = m_assembler.Feed(text);
    if (std::strcmp(text, kPlayerQuit) == 0) {
        PushQuit(std::move(lines));
        return;
    }
    for (std::string& line : lines) {
        MatchEvent event;
        event.kind = MatchEvent::Kind::Line;
        event.player = m_player;
        event.generation = m_generation;
        event.text = std::move(line);
        event.at = at;
        m_queue.Push(std::move(event));
    }
}

void MatchPlayerChannel::WriteStdError(const char* /*text*/) {
    // Only a read error comes from the reader thread, and after it the reader closes the channel.
    if (ReaderStopSignal() != nullptr) {
        PushQuit({});
    }
}

void MatchPlayerChannel::PushQuit(std::vector<std::string> lines) {
    MatchEvent event;
    event.kind = MatchEvent::Kind::Quit;
    event.player = m_player;
    event.generation = m_generation;
    event.lines = std::move(lines);
    event.at = std::chrono::steady_clock::now();
    m_queue.Push(std::move(event));
}
