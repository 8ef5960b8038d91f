#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A tie: 42 moves with no four in a line at any point, player 1 first.
inline constexpr const char kTieMoves[] = "442761225377252342545563474175371666631311";

// Every other character of `moves` from `first`, comma-separated: one player's script.
std::string EveryOther(const std::string& moves, std::size_t first);

// A scratch directory for one test, removed with everything in it at the end. Aborts the test
// program if it cannot be made.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// One matchbot (tests/match/matchbot.cpp) as a test sets it up: its scripts, its options and
// its record file, and what the record says afterwards. Read the record once the runner has ended
// the bot (EndBots), so that it is complete.
//
// One thread at a time (the test's).
class ScriptedBot {
public:
    // The record is `dir`/`name`.rec.
    ScriptedBot(const std::string& dir, const std::string& name);

    // One script per game (see matchbot.cpp); games repeat the scripts when they run out.
    ScriptedBot& Games(std::vector<std::string> scripts);
    // Extra options: "--never-ready", "--ignore-eof", "--grandchild".
    ScriptedBot& Options(std::vector<std::string> options);
    // The record is named relative to the runner's working directory (which must then be the
    // directory given to the constructor), so that the command line holds no scratch path.
    ScriptedBot& RelativeRecord();

    // The command line that starts the bot.
    std::string CommandLine() const;

    // The lines the bot received, in order, across all its copies.
    std::vector<std::string> Received() const;
    // Received() joined with "|".
    std::string ReceivedText() const;
    // The pids of its copies, in order of start.
    std::vector<pid_t> Pids() const;
    // The pids of the children that --grandchild made.
    std::vector<pid_t> Grandchildren() const;

private:
    std::vector<std::string> RecordItems(const std::string& prefix) const;

    std::string m_name;
    std::string m_record;
    bool m_relative = false;
    std::vector<std::string> m_scripts;
    std::vector<std::string> m_options;
};
