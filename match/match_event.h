#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// One thing that happened to the match, pushed onto the referee's MatchEventQueue by one of its
// channels while it pumps them (or by the interrupt watcher).
struct MatchEvent {
    enum class Kind {
        // A whole line of a bot's output that is no note, in `text`.
        Line,
        // A line of a bot's output grew beyond LineAssembler::kMaxLineBytes without a line end.
        Overlong,
        // The bot's copy has ended: its channel saw its output close or its process end. Nothing
        // of that copy follows.
        Ended,
        // The run was interrupted by `signal`.
        Interrupt,
    };

    Kind kind = Kind::Line;
    // The bot's slot, 1 or 2; 0 for Interrupt.
    int player = 0;
    // Which start of the bot produced the event (a restarted bot counts up), so that the referee
    // drops what a previous copy of the bot left in the queue.
    unsigned generation = 0;
    std::string text;
    int signal = 0;
    // When the output was read: move times and time limits are measured to here.
    std::chrono::steady_clock::time_point at{};
    // Order of arrival, stamped by the queue: 1, 2, 3, ...
    std::uint64_t sequence = 0;
};
