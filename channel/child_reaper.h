#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

// Collects the exit status of every bot the channels start, so that no bot stays a zombie, whether
// its channel is still open or was closed long before the bot ended. One process-wide thread waits
// on a pidfd per child and reaps each child with waitpid(pid) once it has ended; it never signals
// or kills anyone, and it installs no SIGCHLD handler, so children that other code starts (and
// reaps) are left alone.
//
// Holding the pidfd until the child is reaped keeps its pid from being reused meanwhile, so the
// waitpid can only ever collect that child.
class ChildReaper {
public:
    // The one reaper of the process, started on first use and never destroyed (it must outlive
    // every channel, including those destroyed during static destruction). Any thread.
    static ChildReaper& Instance();

    ChildReaper(const ChildReaper&) = delete;
    ChildReaper& operator=(const ChildReaper&) = delete;

    // Hands over a child started by this process. `pidfd` is a pidfd of the reaper's own (it takes
    // ownership and closes it after reaping), or -1 when none could be had: such a child is polled
    // with waitpid(WNOHANG) every kFallbackPollMs instead. Any thread.
    void Adopt(pid_t pid, int pidfd);

    // The wait status (as waitpid gives it) of child `pid` once it has been reaped, waiting up to
    // `timeout` for that; nothing if it was not reaped by then. The reaper keeps the statuses of
    // the last kKeptStatuses children it reaped, so ask soon after the child's end. Any thread.
    std::optional<int> WaitForStatus(pid_t pid, std::chrono::milliseconds timeout);

    // How often a child without a pidfd is looked at.
    static constexpr int kFallbackPollMs = 200;
    // How many statuses of reaped children are kept for WaitForStatus.
    static constexpr std::size_t kKeptStatuses = 1024;

private:
    struct Child {
        pid_t pid;
        int pidfd;
    };

    // Starts the reaper thread. The first caller of Instance.
    ChildReaper();
    // The reaper thread.
    void Run();
    // Reaps `pid` if it has ended and keeps its status. True when the child is gone: reaped now,
    // or not (or no longer) a child of this process. The reaper thread, or Adopt under m_mutex
    // when there is no reaper thread.
    bool TryReap(pid_t pid);

    std::mutex m_mutex;
    // Children handed over and not yet picked up by the reaper thread; guarded by m_mutex.
    std::vector<Child> m_adopted;
    // An eventfd that wakes the reaper thread when a child is adopted; -1 if it could not be made,
    // in which case the thread looks for new children every kFallbackPollMs.
    int m_wake = -1;
    // False if the thread could not be started; Adopt then reaps what has already ended, at least.
    bool m_running = false;
    // The statuses of the children reaped last, oldest first: (pid, status). Guarded by
    // m_statusMutex, which m_statusChanged signals.
    std::mutex m_statusMutex;
    std::condition_variable m_statusChanged;
    std::deque<std::pair<pid_t, int>> m_statuses;
};
