#pragma once

#include <charconv>
#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "bots/bitboard_position.h"

// The main loop shared by the sample bots: reads the moderator's lines from the bot's standard
// input, runs them through a ProtocolSession and writes what the session asks for, one line per
// write(2), so that the moderator's reader (which replaces the bot's last output with every chunk
// it reads) always finds the move whole and last.
//
// Single-threaded: construct and run it on the bot's main thread.
class BotLoop {
public:
    // A move and, for --verbose, a note on how it was found (without the leading "?").
    struct Choice {
        int column = 0;
        std::string note;
    };
    // Picks a legal column of the position (the bot's side to move). Called only when the
    // position has a free column.
    using Chooser = std::function<Choice(const BitboardPosition&)>;

    // The pause between a "?" note and the move that follows it. The moderator looks at a bot's
    // output every 100 ms and keeps only the latest chunk, and a chunk that begins with "?" is
    // ignored whole, so the note must have been read on its own before the move is written.
    static constexpr std::chrono::milliseconds kNoteGap{250};

    // `verbose`: write each move's note as a "?" line before the move.
    BotLoop(Chooser chooser, bool verbose);

    // Writes "p", then answers each line of `in` until it ends or a write to `outFd` fails (the
    // moderator has gone); both end the bot quietly. Ignores SIGPIPE for the whole process, so a
    // failed write is an error code rather than a signal. Returns the exit status: 0.
    int Run(std::istream& in, int outFd);

    // Answers --help (with `help`, the usage and options) and --version ("PROGRAM 1.2") on
    // standard output and returns the exit status, 0; nothing for any other argument.
    static std::optional<int> AnswerInfoOption(std::string_view arg, std::string_view program,
                                               std::string_view help);

    // The whole of `text` as a number, as the bots' options take them; nothing when it is not
    // one or does not fit in T.
    template <typename T>
    static std::optional<T> ParseNumber(std::string_view text) {
        T number{};
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size()) {
            return std::nullopt;
        }
        return number;
    }

private:
    static int FirstFreeFromCentre(const BitboardPosition& position);
    // One write(2) of `text` plus a line end. False when the reader has gone.
    static bool WriteLine(int fd, std::string_view text);

    Chooser m_chooser;
    bool m_verbose;
};
