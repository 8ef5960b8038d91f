#pragma once

#include "match/game_record.h"

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
//   {"log":"fourfall-match","version":"1.2","commands":["a","b"],"names":["a","b"],
//    "move_time_ms":5000,"start_time_ms":10000}
// with "format" and "games" (per pairing) for three bots or more, "openings":[...] when the games
// start from openings, "shard":"2/4" for a shard of a run, "sprt":"0,5" for a run that tested and
// "audit":true for an audited one.
//
// One thread at a time.
class MatchLog {
public:
    // What makes the games of a run what they are (a resumed run must have the same), and the
    // bots' names.
    struct Run {
        std::vector<std::string> commands;
        std::vector<std::string> names;
        std::chrono::milliseconds moveTime{0};
        std::chrono::milliseconds startTime{0};
        // The openings in the order played; empty for none.
        std::vector<std::string> openings;
        // "round-robin" or "gauntlet", and the games per pairing; both only with three bots or
        // more (with two, the games may grow from run to run).
        std::string format;
        int games = 0;
        // "K/N" for shard K of N; empty for a whole run.
        std::string shard;
        // The --sprt of the run as given ("0,5"); empty for none. Not part of what a resume
        // checks.
        std::string sprt;
        // The run's games are audited (--audit).
        bool audit = false;
    };

    // What a log holds so far.
    struct Contents {
        Run run;
        // The games, in the order written, each number once (a repeat is dropped).
        std::vector<GameRecord> records;
        // The bytes of the run's line and of every whole game line; anything after them is a torn
        // last line. 0 for a missing or empty log, or one whose run's line itself is torn.
        std::uintmax_t wholeBytes = 0;
    };

    // Reads the log at `path`. Nothing, with a one-line message in `error`, for a log that cannot
    // be read, is no log of this program, or has a damaged whole line. A missing or empty log
    // holds nothing (wholeBytes 0) when `missingIsEmpty`, and is an error otherwise.
    static std::optional<Contents> Read(const std::string& path, bool missingIsEmpty,
                                        std::string& error);

    // The first way in which the run of `logged` differs from `run` that changes the games, in
    // words ("the log was written with player 2 \"b\", not \"c\""); empty when none. The shard
    // counts, and --audit, only if `withShard` (a resume: a report may join other shards).
    static std::string Difference(const Run& logged, const Run& run, bool withShard);

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
