#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// One thing that happened to the match, handed from a channel's reader thread (or the interrupt
// watcher) to the referee thread through the MatchEventQueue.
struct MatchEvent {
    enum class Kind {
        // A whole line of a bot's output, in `text`.
        Line,
        // The channel reported that the bot's output ended ("\r\nPlayer Quit\r\n") or failed. The
        // referee confirms the end by the channel being closed; if the channel stays open, the
        // text came from the bot itself and `lines` holds the lines it completed.
        Quit,
        // The run was interrupted by `signal`.
        Interrupt,
        // Made by the referee itself, never queued: the bot's current copy has ended (its
        // channel has closed).
        Ended,
    };

    Kind kind = Kind::Line;
    // The bot's slot, 1 or 2; 0 for Interrupt.
    int player = 0;
    // Which start of the bot produced the event (a restarted bot counts up), so that the referee
    // drops what a previous copy of the bot left in the queue.
    unsigned generation = 0;
    std::string text;
    std::vector<std::string> lines;
    int signal = 0;
    // When the reader received the output: move times and time limits are measured to here.
    std::chrono::steady_clock::time_point at{};
    // Order of arrival, stamped by the queue: 1, 2, 3, ...
    std::uint64_t sequence = 0;
};
