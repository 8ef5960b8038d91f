#pragma once

#include "channel/player_channel.h"
#include "match/line_assembler.h"

#include <string>
#include <string_view>

class MatchEventQueue;

// The runner's channel to one bot: the player channel in its OnArrival mode, whose hooks cut the
// bot's output into lines and hand each to the referee's queue as an event the moment a pump
// reads it. The window's pane and last-chunk store play no part here; the runner keeps every line
// in order instead of only the latest chunk.
//
// What reaches the queue, all inside a pump (MatchEventQueue::PopUntil or TakeArrived):
//   - a Line event for every whole line of output that is no note, an Overlong event for a line
//     that grew too long (see LineAssembler);
//   - an Ended event when the channel reports the bot's end (its output closed, its process
//     ended, or reading failed), after everything the copy wrote.
// The channel's own messages (a failed start) are not passed on: Start's result reports a failed
// start.
//
// Threads: one, the referee's: it constructs it, calls Start, Printf and Close, and pumps.
class MatchPlayerChannel : public CPlayerChannel {
public:
    // Events go to `queue` (which must outlive the channel) under slot `player` (1 or 2). Owner's
    // thread.
    MatchPlayerChannel(MatchEventQueue& queue, int player);
    // Closes the channel; the bot is left running, as by Close. Owner's thread.
    ~MatchPlayerChannel() override;

    // Starts a (new) copy of the bot: closes the channel to any previous copy, forgets that copy's
    // incomplete line, counts the generation up, then opens. Returns Open's result (1 or 0, errno
    // set on failure). Owner's thread.
    int Start(const std::string& commandLine);

    // The generation of the copy started last: 0 before the first Start. Owner's thread.
    unsigned Generation() const { return m_generation; }

protected:
    // Inside a pump.
    void OnOutput(std::string_view chunk) override;
    // Inside a pump.
    void OnBotEnded(BotEnd how) override;

private:
    MatchEventQueue& m_queue;
    const int m_player;
    unsigned m_generation = 0;
    // Reset by Start.
    LineAssembler m_assembler;
};
