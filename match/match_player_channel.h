#pragma once

#include "channel/player_channel.h"
#include "match/line_assembler.h"

#include <string>

class MatchEventQueue;

// The runner's channel to one bot: the player channel, whose sinks cut the bot's output into
// lines and hand each line to the referee as an event. The window's pane and last-chunk store play
// no part here; the runner keeps every line in order instead of only the latest chunk.
//
// What reaches the queue, all on the reader thread:
//   - a Line event for every whole line of output (see LineAssembler);
//   - a Quit event when the channel reports "\r\nPlayer Quit\r\n" (the bot's side of the pipe has
//     closed, normally because the bot ended) or a read error. A bot can print that text itself,
//     so the event carries the lines the text would complete, and the referee decides by whether
//     the channel has closed.
// The channel's own messages on the owner's thread (a failed start, an abandoned reader) are not
// passed on: Start's result reports a failed start.
//
// Threads: the owner's thread (the referee's) constructs it, calls Start, Printf and Close; the
// reader thread runs the sinks.
class MatchPlayerChannel : public CPlayerChannel {
public:
    // Events go to `queue` (which must outlive the channel) under slot `player` (1 or 2); the
    // reader polls every `pollMs` milliseconds. Owner's thread.
    MatchPlayerChannel(MatchEventQueue& queue, int player, unsigned pollMs);
    // Stops the reader before the members it uses go; the bot is left running, as by Close.
    // Owner's thread.
    ~MatchPlayerChannel() override;

    // Starts a (new) copy of the bot: closes the channel to any previous copy, forgets that copy's
    // incomplete line, counts the generation up, then opens. Returns Open's result (1 or 0, errno
    // set on failure). Owner's thread.
    int Start(const std::string& commandLine);

    // The generation of the copy started last: 0 before the first Start. Owner's thread.
    unsigned Generation() const { return m_generation; }

protected:
    // Reader thread (also the owner's thread for messages the channel passes on; not the case
    // here).
    void WriteStdOut(const char* text) override;
    // Reader thread (read errors) or owner's thread (failed start, abandoned reader).
    void WriteStdError(const char* text) override;

private:
    void PushQuit(std::vector<std::string> lines);

    MatchEventQueue& m_queue;
    const int m_player;
    // Changed only by Start while no reader runs, and read by the reader that Start then starts.
    unsigned m_generation = 0;
    // Reader thread; reset by Start while no reader runs.
    LineAssembler m_assembler;
};
