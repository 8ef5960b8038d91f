#pragma once

#include "match/game_record.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

// The log of a run of fourfall-match: one JSON object a line, the first describing the run, each
// further one a finished game (GameRecord::ToJson), written and flushed the moment the game ends.
// A run killed at any point therefore leaves whole lines, except perhaps a torn last one, which a
// resumed run drops and plays again.
//
//   {"log":"fourfall-match","version":"1.2","commands":["a","b"],"move_time_ms":5000,
//    "start_time_ms":10000}
// with "openings":[...] at the end when the games start from openings.
//
// One thread at a time.
class MatchLog {
public:
    // What makes the games of a run what they are: a resumed run must have the same.
    struct Run {
        std::array<std::string, 2> commands;
        std::chrono::milliseconds moveTime{0};
        std::chrono::milliseconds startTime{0};
        // The openings in the order played; empty for none.
        std::vector<std::string> openings;
    };

    // What a log holds so far.
    struct Contents {
        // The games, in the order written, each number once (a repeat is dropped).
        std::vector<GameRecord> records;
        // The bytes of the run's line and of every whole game line; anything after them is a torn
        // last line. 0 for a missing or empty log, or one whose run's line itself is torn.
        std::uintmax_t wholeBytes = 0;
    };

    // Reads the log at `path` for a resume of `run`. A missing or empty log holds nothing. Returns
    // nothing, with a one-line message in `error`, for a log that cannot be read, is no log of
    // this program, has a damaged whole line, or was written for another run (the
    // message names the difference).
    static std::optional<Contents> ReadForResume(const std::string& path, const Run& run,
                                                 std::string& error);

    // Starts the log at `path` afresh (replacing the file) with the run's line, or, for a resume
    // (`keepBytes` > 0), cuts it to `keepBytes` and appends from there. False, with a one-line
    // message in `error`, when the file cannot be written.
    bool Open(const std::string& path, const Run& run, std::uintmax_t keepBytes,
              std::string& error);

    // Appends one game's line and flushes it. False when the write failed.
    bool Append(const GameRecord& record);

    // The run's line, without its line end.
    static std::string RunLine(const Run& run);

private:
    std::ofstream m_out;
};
