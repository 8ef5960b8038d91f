#include "match/process_group.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <thread>

bool ProcessGroup::Exists(pid_t pgid) {
    if (pgid <= 0) {
        return false;
    }
    // EPERM means the group exists but belongs to someone else: it exists all the same.
    return kill(-pgid, 0) == 0 || errno == EPERM;
}

void ProcessGroup::Kill(pid_t pgid) {
    if (pgid > 0) {
        kill(-pgid, SIGKILL);
    }
}

std::vector<pid_t> ProcessGroup::WaitGone(std::vector<pid_t> groups,
                                          std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::erase_if(groups, [](pid_t pgid) { return !Exists(pgid); });
        if (groups.empty() || std::chrono::steady_clock::now() >= deadline) {
            return groups;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
