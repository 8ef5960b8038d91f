#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The openings a match starts its games from: move sequences in column digits ("4453"), first
// mover first. Each is played twice in a row with the same two bots, the first mover swapped (a
// pair), so that neither bot gains from an opening that favours one side.
//
// Pure functions; any thread.
struct Openings {
    // What is wrong with `moves` as an opening, in words ("column 8 does not exist", "column 4 is
    // full", "it is already won", "it fills the board"); nothing when it is a legal unfinished
    // position. The empty sequence is the empty board.
    static std::optional<std::string> Problem(std::string_view moves);

    // The openings of a file: one a line, "#" starting a comment, blanks around and blank lines
    // ignored. Nothing, with a one-line message naming the file and the line, for a file that
    // cannot be read, holds no opening, or has a line that is no legal unfinished position.
    static std::optional<std::vector<std::string>> FromFile(const std::string& path,
                                                            std::string& error);

    // The suite built into the runner (match/builtin_openings.txt, made with fourfall-book
    // --list): the positions of four moves, one sequence for each position and its
    // mirror image, whose solved score is within kBuiltinWithin of a draw. Games from them are
    // contests, and they spread the games of even deterministic bots over many positions.
    static std::vector<std::string> Builtin();
    static constexpr int kBuiltinWithin = 2;

    // `openings` in an order drawn from `seed` (the same seed, the same order on every machine).
    static std::vector<std::string> Shuffled(std::vector<std::string> openings, std::uint64_t seed);

    // The opening of game `number` (1, 2, ...): the openings in turn, each for two games, from the
    // first again when they run out.
    static const std::string& ForGame(const std::vector<std::string>& openings, int number);
};
