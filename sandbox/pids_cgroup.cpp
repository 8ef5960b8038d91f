#include "sandbox/pids_cgroup.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// The folder of this process's own group in the pids hierarchy: cgroup v1's pids mount, or the
// unified v2 mount, joined with the path /proc/self/cgroup gives. Empty when there is none.
std::string OwnGroupFolder() {
    std::ifstream cgroups("/proc/self/cgroup");
    std::string line;
    std::string v1Path;
    std::string v2Path;
    bool haveV2 = false;
    while (std::getline(cgroups, line)) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        std::istringstream names(controllers);
        for (std::string name; std::getline(names, name, ',');) {
            if (name == "pids") {
                v1Path = path;
            }
        }
        if (controllers.empty()) {
            v2Path = path;
            haveV2 = true;
        }
    }
    // The mount points, from mountinfo: field 5 is the mount point, the fields after " - " the
    // type and the super block's options.
    std::ifstream mounts("/proc/self/mountinfo");
    std::string v1Mount;
    std::string v2Mount;
    while (std::getline(mounts, line)) {
        const std::size_t dash = line.find(" - ");
        if (dash == std::string::npos) {
            continue;
        }
        std::istringstream before(line.substr(0, dash));
        std::string field;
        std::string mountPoint;
        for (int i = 0; i < 5 && before >> field; ++i) {
            mountPoint = field;
        }
        std::istringstream after(line.substr(dash + 3));
        std::string type;
        std::string source;
        std::string options;
        after >> type >> source >> options;
        if (type == "cgroup" && ("," + options + ",").find(",pids,") != std::string::npos) {
            v1Mount = mountPoint;
        } else if (type == "cgroup2") {
            v2Mount = mountPoint;
        }
    }
    if (!v1Mount.empty() && !v1Path.empty()) {
        return v1Mount + (v1Path == "/" ? "" : v1Path);
    }
    if (haveV2 && !v2Mount.empty()) {
        return v2Mount + (v2Path == "/" ? "" : v2Path);
    }
    return {};
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text << std::flush;
    return static_cast<bool>(out);
}

std::vector<pid_t> Members(const std::string& folder) {
    std::ifstream procs(folder + "/cgroup.procs");
    std::vector<pid_t> pids;
    for (pid_t pid = 0; procs >> pid;) {
        pids.push_back(pid);
    }
    return pids;
}

}  // namespace

std::unique_ptr<PidsCgroup> PidsCgroup::Make(const std::string& name, int max, std::string& error) {
    const std::string base = OwnGroupFolder();
    if (base.empty()) {
        error = "this system has no pids control group for the runner";
        return nullptr;
    }
    const std::string path = base + "/" + name;
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        error = "cannot make the control group " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<PidsCgroup> group(new PidsCgroup(path));
    if (!WriteFile(path + "/pids.max", std::to_string(max))) {
        error = "cannot limit the processes of the control group " + path;
        return nullptr;
    }
    return group;
}

PidsCgroup::~PidsCgroup() {
    // A process that left the bot's process group (a new session) is still in here; the group
    // can go only once it is empty.
    for (int attempt = 0; attempt < 200; ++attempt) {
        const std::vector<pid_t> pids = Members(m_path);
        for (const pid_t pid : pids) {
            kill(pid, SIGKILL);
        }
        if (rmdir(m_path.c_str()) == 0 || errno == ENOENT) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool PidsCgroup::LimitHit() const {
    std::ifstream events(m_path + "/pids.events");
    std::string key;
    long long count = 0;
    while (events >> key >> count) {
        if (key == "max" && count > 0) {
            return true;
        }
    }
    return false;
}
