#pragma once

#include <sys/types.h>

#include <vector>

// What /proc says about other processes, for tests that check a bot's life: alive, a zombie, or
// reaped. Any thread.
class ProcessInspection {
public:
    // The state letter of `pid` (R, S, D, Z, ...), or '\0' when there is no such process.
    static char State(pid_t pid);
    // The parent of `pid`, or -1 when there is no such process.
    static pid_t Parent(pid_t pid);
    // The processes whose parent is `parent`, zombies included.
    static std::vector<pid_t> ChildrenOf(pid_t parent);
    // `pid` runs and has not ended (it exists and is no zombie).
    static bool IsAlive(pid_t pid);
    // `pid`, a child of this process, has been reaped: no process of that pid is our child any
    // more (a reused pid belongs to someone else's child).
    static bool IsReapedChild(pid_t pid);
};
