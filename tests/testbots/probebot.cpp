// A bot that reports what it was started with, in one write to standard output, and exits 0:
//   fds:<open descriptors, ascending>   sigpipe:default|ignored|handled   sigmask:<blocked or
//   empty> session:leader|inherited   tty:none|present   cwd:<dir>   env:<$FOURFALL_PROBE or
//   (unset)> argc:<n>   arg<i>:<argument>   (one item a line)

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::string report;

    std::vector<int> fds;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            const int fd = std::atoi(entry->d_name);
            if (fd != dirfd(dir)) {
                fds.push_back(fd);
            }
        }
        closedir(dir);
    }
    std::sort(fds.begin(), fds.end());
    report += "fds:";
    for (std::size_t i = 0; i < fds.size(); ++i) {
        report += (i == 0 ? "" : " ") + std::to_string(fds[i]);
    }
    report += "\n";

    struct sigaction pipeAction {};
    sigaction(SIGPIPE, nullptr, &pipeAction);
    report += std::string("sigpipe:") +
              (pipeAction.sa_handler == SIG_DFL   ? "default"
               : pipeAction.sa_handler == SIG_IGN ? "ignored"
                                                  : "handled") +
              "\n";

    sigset_t blocked;
    sigemptyset(&blocked);
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    std::string mask;
    for (int s = 1; s < NSIG; ++s) {
        if (sigismember(&blocked, s) == 1) {
            mask += (mask.empty() ? "" : " ") + std::to_string(s);
        }
    }
    report += "sigmask:" + (mask.empty() ? std::string("empty") : mask) + "\n";

    report += std::string("session:") + (getsid(0) == getpid() ? "leader" : "inherited") + "\n";
    const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    report += std::string("tty:") + (tty < 0 ? "none" : "present") + "\n";

    char cwd[4096] = "";
    report += std::string("cwd:") + (getcwd(cwd, sizeof cwd) != nullptr ? cwd : "?") + "\n";
    const char* env = std::getenv("FOURFALL_PROBE");
    report += std::string("env:") + (env != nullptr ? env : "(unset)") + "\n";

    report += "argc:" + std::to_string(argc) + "\n";
    for (int i = 1; i < argc; ++i) {
        report += "arg" + std::to_string(i) + ":" + argv[i] + "\n";
    }

    [[maybe_unused]] const ssize_t n = write(1, report.data(), report.size());
    return 0;
}
