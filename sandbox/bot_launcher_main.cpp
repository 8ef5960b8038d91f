// fourfall-bot-launcher: starts one bot under resource limits. The runner puts it in front of a
// bot's command line; it sets the limits on itself, joins the bot's pids control group, and then
// becomes the bot (or bubblewrap, which starts the bot), so that the limits hold from the bot's
// first instruction and for everything it starts. Usage:
//
//   fourfall-bot-launcher [--memory BYTES] [--cpu-seconds N] [--cgroup DIR] [--processes N]
//                         -- PROGRAM [ARG...]
//
//   --memory BYTES    address space of each process (RLIMIT_AS)
//   --cpu-seconds N   CPU time of each process: SIGXCPU after N s, SIGKILL a second later
//   --cgroup DIR      joins the control group DIR (its pids.max bounds the processes)
//   --processes N     RLIMIT_NPROC, where no control group can be had: it counts every process
//                     of the user and does not bind root
//
// Errors go to standard error (the bot's output, for the runner) and end it with status 127.

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>

namespace {

constexpr int kFailed = 127;

int Fail(const char* what) {
    std::fprintf(stderr, "fourfall-bot-launcher: %s: %s\n", what, std::strerror(errno));
    return kFailed;
}

bool ParseNumber(std::string_view text, rlim_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

bool SetLimit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    return setrlimit(resource, &limit) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    int i = 1;
    for (; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 == argc) {
            std::fprintf(stderr, "fourfall-bot-launcher: %s needs a value\n", argv[i]);
            return kFailed;
        }
        const std::string_view value = argv[++i];
        rlim_t number = 0;
        if (option == "--cgroup") {
            std::ofstream procs(std::string(value) + "/cgroup.procs");
            procs << getpid() << std::flush;
            if (!procs) {
                return Fail("cannot join the control group");
            }
            continue;
        }
        if (!ParseNumber(value, number)) {
            std::fprintf(stderr, "fourfall-bot-launcher: %s needs a number\n", argv[i - 1]);
            return kFailed;
        }
        if (option == "--memory") {
            if (!SetLimit(RLIMIT_AS, number, number)) {
                return Fail("cannot limit the memory");
            }
        } else if (option == "--cpu-seconds") {
            if (!SetLimit(RLIMIT_CPU, number, number + 1)) {
                return Fail("cannot limit the CPU time");
            }
        } else if (option == "--processes") {
            if (!SetLimit(RLIMIT_NPROC, number, number)) {
                return Fail("cannot limit the processes");
            }
        } else {
            std::fprintf(stderr, "fourfall-bot-launcher: unknown option %s\n", argv[i - 1]);
            return kFailed;
        }
    }
    if (i + 1 >= argc) {
        std::fprintf(stderr, "usage: fourfall-bot-launcher [limits] -- PROGRAM [ARG...]\n");
        return kFailed;
    }
    execvp(argv[i + 1], argv + i + 1);
    return Fail(argv[i + 1]);
}
