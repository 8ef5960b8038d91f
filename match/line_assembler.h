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
// A bot that writes without ever ending a line would make the pending text grow without bound; the
// assembler keeps the first kMaxLineBytes of a line and drops the rest of it, since the referee
// only ever looks at a line's first character.
//
// Not synchronised: one thread at a time (a channel's reader thread, in the runner).
class LineAssembler {
public:
    static constexpr std::size_t kMaxLineBytes = 4096;

    // Adds `chunk` and returns the lines it completed, in order.
    std::vector<std::string> Feed(std::string_view chunk);

    // Drops any incomplete line, as for a fresh bot.
    void Reset();

    // The bytes of the incomplete line seen so far (at most kMaxLineBytes).
    const std::string& Pending() const { return m_pending; }

private:
    std::string m_pending;
    // The pending line has lost bytes beyond kMaxLineBytes.
    bool m_truncated = false;
};
