#pragma once

#include <memory>
#include <string>

// A control group of the pids controller that holds one bot process and everything it starts,
// with a bound on how many processes it may have at once (pids.max): a fork fails once the group
// is full, whatever the user (root included). Works with the pids hierarchy of cgroup v1 or with
// cgroup v2 where the pids controller is enabled for the runner's own group; the runner must be
// allowed to make groups there (root usually is).
//
// One thread at a time.
class PidsCgroup {
public:
    // Makes a group named `name` beside the runner's own, with pids.max `max`. Nothing, with a
    // one-line reason in `error`, when no group can be made here.
    static std::unique_ptr<PidsCgroup> Make(const std::string& name, int max, std::string& error);

    // Kills whatever is still in the group and removes it.
    ~PidsCgroup();

    PidsCgroup(const PidsCgroup&) = delete;
    PidsCgroup& operator=(const PidsCgroup&) = delete;

    // The group's folder: a process joins it by writing its pid to Path()/cgroup.procs.
    const std::string& Path() const { return m_path; }

    // Whether a fork in the group has failed because the group was full.
    bool LimitHit() const;

private:
    explicit PidsCgroup(std::string path) : m_path(std::move(path)) {}

    std::string m_path;
};
