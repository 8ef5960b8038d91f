#include "tests/testbots/process_inspection.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The state letter and parent of `pid` from /proc/<pid>/stat; false when there is no such process.
bool ReadStat(pid_t pid, char& state, pid_t& parent) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) {
        return false;
    }
    // The command name is in parentheses and may itself hold blanks and parentheses.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return false;
    }
    std::istringstream rest(line.substr(close + 1));
    long ppid = 0;
    if (!(rest >> state >> ppid)) {
        return false;
    }
    parent = static_cast<pid_t>(ppid);
    return true;
}

}  // namespace

char ProcessInspection::State(pid_t pid) {
    char state = '\0';
    pid_t parent = 0;
    return ReadStat(pid, state, parent) ? state : '\0';
}

pid_t ProcessInspection::Parent(pid_t pid) {
    char state = '\0';
    pid_t parent = 0;
    return ReadStat(pid, state, parent) ? parent : -1;
}

std::vector<pid_t> ProcessInspection::ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return children;
    }
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid > 0 && Parent(pid) == parent) {
            children.push_back(pid);
        }
    }
    closedir(proc);
    return children;
}

bool ProcessInspection::IsAlive(pid_t pid) {
    const char state = State(pid);
    return state != '\0' && state != 'Z' && state != 'X';
}

bool ProcessInspection::IsReapedChild(pid_t pid) {
    char state = '\0';
    pid_t parent = 0;
    return !ReadStat(pid, state, parent) || parent != getpid();
}
