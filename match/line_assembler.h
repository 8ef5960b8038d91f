#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reassembles a bot's output into lines. The channel hands over the output in chunks that end
// wherever the pipe happened to be drained, so a line can arrive in pieces and one chunk can hold
// several lines. A line is everything up to a "\n", without the "\n" and without one "\r" right
// before it (bots may end their lines either way). Bytes after the last "\n" wait for the next
// chunk.
//
// Memory stays bounded whatever the bot writes: a note (a line beginning with "?") is dropped as
// it streams and never reported, and a line that grows beyond kMaxLineBytes is reported once as
// overlong, its bytes dropped up to its line end. Only a line's start matters to the referee.
//
// Not synchronised: one thread at a time (the referee's, in the runner).
class LineAssembler {
public:
    static constexpr std::size_t kMaxLineBytes = 4096;

    struct Line {
        // The line; empty for an overlong one.
        std::string text;
        // The line grew beyond kMaxLineBytes without a line end.
        bool overlong = false;

        bool operator==(const Line&) const = default;
    };

    // Adds `chunk` and returns what it completed, in order: whole lines that are no notes, and
    // overlong lines at the moment they became too long.
    std::vector<Line> Feed(std::string_view chunk);

    // Drops any incomplete line, as for a fresh bot.
    void Reset();

    // The bytes of the incomplete line seen so far: empty within a note or an overlong line.
    const std::string& Pending() const { return m_pending; }

private:
    enum class State {
        // At the start of a line, or within one that is being kept.
        Keeping,
        // Within a note or an overlong line: bytes are dropped up to the line end.
        Dropping,
    };

    std::string m_pending;
    State m_state = State::Keeping;
};
