#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

// A bot started the way the moderator starts one: its standard input on one pipe, its standard
// output and standard error together on another. The tests' own small harness, so that the bots
// are judged by real processes before the moderator's channel exists to run them.
//
// Single-threaded: used by the one test thread that created it.
class ChildProcess {
public:
    // Starts `argv[0]` (a path) with the arguments that follow. Check Started() afterwards.
    explicit ChildProcess(const std::vector<std::string>& argv);
    // Closes both pipes, kills the child if it has not ended and reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }

    // Writes `bytes` to the child's input in one write(2). False when the child's input is gone.
    bool Write(std::string_view bytes);
    // Ends the child's input (it sees end of file).
    void CloseInput();

    // Waits up to `timeout` for output and returns what one read(2) then gives: "" when nothing
    // came in time, nothing at end of file. Bytes kept back by ReadLine are returned first.
    std::optional<std::string> ReadChunk(std::chrono::milliseconds timeout);
    // The next line of output without its "\n", waiting up to `timeout` overall; nothing when
    // the time ran out or the output ended first. Whatever follows the line stays for later reads.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Everything the child writes until it closes its output, waiting up to `timeout` overall;
    // nothing when the time ran out first.
    std::optional<std::string> ReadToEnd(std::chrono::milliseconds timeout);

    // Waits up to `timeout` for the child to end. Its exit status, 128 + the signal that ended it,
    // or nothing when it is still running.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

private:
    pid_t m_pid = -1;
    int m_input = -1;   // our end of the child's standard input
    int m_output = -1;  // our end of the child's standard output and error
    std::string m_pending;
    std::optional<int> m_status;
};
