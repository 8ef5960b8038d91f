#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// fourfall-match run by a test as a real child process, in a working directory of the test's
// choosing, its standard output and standard error going to files there.
//
// One thread at a time (the test's).
class RunnerProcess {
public:
    // Starts `program` (fourfall-match unless given) with `args` in directory `dir`. Aborts the
    // test program if it cannot.
    RunnerProcess(const std::string& dir, const std::vector<std::string>& args,
                  const std::string& program = FOURFALL_MATCH_PATH);
    // Kills the runner if it still runs, and reaps it.
    ~RunnerProcess();
    RunnerProcess(const RunnerProcess&) = delete;
    RunnerProcess& operator=(const RunnerProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    void Signal(int signal) const;

    // Waits up to `timeout` for the runner to end: its exit status, 128 + the signal that ended
    // it, or nothing while it still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

    std::string Stdout() const;
    std::string Stderr() const;

    // The peak resident memory of the runner (or of the largest bot it waited for, if larger), in
    // KiB, once Wait has seen it end; 0 before.
    long MaxRssKb() const { return m_maxRssKb; }

private:
    std::string m_dir;
    pid_t m_pid = -1;
    std::optional<int> m_status;
    long m_maxRssKb = 0;
};
