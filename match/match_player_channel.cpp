#include "match/match_player_channel.h"

#include "match/match_event_queue.h"

#include <chrono>
#include <utility>

MatchPlayerChannel::MatchPlayerChannel(MatchEventQueue& queue, int player)
    : CPlayerChannel(ReadMode::OnArrival), m_queue(queue), m_player(player) {}

MatchPlayerChannel::~MatchPlayerChannel() {
    CloseQuietly();
}

int MatchPlayerChannel::Start(const std::string& commandLine) {
    // Once closed, the previous copy reaches no hook any more, even from a pump under way.
    Close();
    m_assembler.Reset();
    ++m_generation;
    return Open(commandLine.c_str());
}

void MatchPlayerChannel::OnOutput(std::string_view chunk) {
    const auto at = std::chrono::steady_clock::now();
    for (LineAssembler::Line& line : m_assembler.Feed(chunk)) {
        MatchEvent event;
        event.kind = line.overlong ? MatchEvent::Kind::Overlong : MatchEvent::Kind::Line;
        event.player = m_player;
        event.generation = m_generation;
        event.text = std::move(line.text);
        event.at = at;
        m_queue.Push(std::move(event));
    }
}

void MatchPlayerChannel::OnBotEnded(BotEnd /*how*/) {
    MatchEvent event;
    event.kind = MatchEvent::Kind::Ended;
    event.player = m_player;
    event.generation = m_generation;
    event.at = std::chrono::steady_clock::now();
    m_queue.Push(std::move(event));
}
