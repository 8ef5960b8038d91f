#pragma once

#include <sys/types.h>

#include <chrono>
#include <vector>

// Ends what the runner started. Every bot runs in a session of its own, so its pid is also the id
// of its process group, which holds the bot and whatever it started without leaving the group; a
// group is gone once none of its processes is left.
//
// The runner holds no handle on a group, only its number: a group that has gone leaves that
// number free for reuse, in principle also by an unrelated new group. So the runner only signals
// a group it has just seen to exist, right after the bot was found to outlive its grace period,
// never a group that has been gone for long.
//
// Stateless; any thread.
class ProcessGroup {
public:
    // Whether any process of group `pgid` exists (zombies included). False for pgid <= 0.
    static bool Exists(pid_t pgid);

    // Sends SIGKILL to every process of group `pgid`; does nothing for pgid <= 0.
    static void Kill(pid_t pgid);

    // Waits until none of `groups` exists, or `timeout` has passed, looking every few
    // milliseconds; returns the groups that still exist.
    static std::vector<pid_t> WaitGone(std::vector<pid_t> groups,
                                       std::chrono::milliseconds timeout);
};
