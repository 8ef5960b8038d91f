#include "sandbox/bot_wrapper.h"

#include "channel/split_command_line.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;

// The system's own folders, visible read-only in every sandbox (links kept as links).
constexpr const char* kSystemFolders[] = {"/usr",   "/bin",   "/sbin",   "/lib",
                                          "/lib32", "/lib64", "/libx32", "/etc"};

// `name` searched in PATH like the shell does; empty when not found.
std::string FindInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        std::string candidate = end == start ? "." : folders.substr(start, end - start);
        candidate.append("/").append(name);
        if (access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

// The launcher beside the running program, or in ../libexec/fourfall from its folder.
std::string FindLauncher() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    for (const fs::path& candidate :
         {self.parent_path() / "fourfall-bot-launcher",
          self.parent_path().parent_path() / "libexec" / "fourfall" / "fourfall-bot-launcher"}) {
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return {};
}

bool InSystemFolder(const std::string& path) {
    for (const char* folder : kSystemFolders) {
        const std::string prefix = std::string(folder) + "/";
        if (path.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string BotWrapper::Start::LimitHit(std::optional<int> status) const {
    if (m_limits.cpuSeconds && status) {
        // bubblewrap passes a signal that ended the bot on as 128 + the signal.
        const bool xcpu =
            (WIFSIGNALED(*status) && WTERMSIG(*status) == SIGXCPU) ||
            (m_sandbox && WIFEXITED(*status) && WEXITSTATUS(*status) == 128 + SIGXCPU);
        if (xcpu) {
            return "exceeded its CPU time limit (" + std::to_string(*m_limits.cpuSeconds) + " s)";
        }
    }
    if (m_group && m_group->LimitHit()) {
        return "exceeded its process limit (" + std::to_string(*m_limits.processes) + ")";
    }
    return {};
}

std::unique_ptr<BotWrapper> BotWrapper::Make(const Options& options, std::string& error) {
    std::unique_ptr<BotWrapper> wrapper(new BotWrapper);
    wrapper->m_options = options;
    if (wrapper->m_options.launcher.empty()) {
        wrapper->m_options.launcher = FindLauncher();
        if (wrapper->m_options.launcher.empty()) {
            error =
                "fourfall-bot-launcher, which starts bots under limits, is not installed "
                "beside this program";
            return nullptr;
        }
    }
    if (options.sandbox) {
        wrapper->m_bwrap = FindInPath("bwrap");
        if (wrapper->m_bwrap.empty()) {
            error =
                "--sandbox needs bubblewrap, but there is no bwrap on PATH (Debian: apt "
                "install bubblewrap)";
            return nullptr;
        }
    }
    for (const std::string& path : options.allowed) {
        if (!fs::exists(path)) {
            error = "--sandbox-allow " + path + ": no such file or folder";
            return nullptr;
        }
    }
    if (options.limits.processes) {
        std::string ignored;
        wrapper->m_groupsWork =
            PidsCgroup::Make("fourfall-probe-" + std::to_string(getpid()), 1, ignored) != nullptr;
    }
    return wrapper;
}

std::unique_ptr<BotWrapper::Start> BotWrapper::Prepare(const std::string& commandLine,
                                                       std::string& error) {
    std::optional<std::vector<std::string>> words = SplitCommandLine(commandLine);
    if (!words || words->empty()) {
        error = "the command line " + commandLine + " cannot be split into words";
        return nullptr;
    }
    auto start = std::make_unique<Start>();
    start->m_limits = m_options.limits;
    start->m_sandbox = m_options.sandbox;

    std::vector<std::string> line = {m_options.launcher};
    const BotLimits& limits = m_options.limits;
    if (limits.memoryBytes) {
        line.insert(line.end(), {"--memory", std::to_string(*limits.memoryBytes)});
    }
    if (limits.cpuSeconds) {
        line.insert(line.end(), {"--cpu-seconds", std::to_string(*limits.cpuSeconds)});
    }
    if (limits.processes) {
        if (m_groupsWork) {
            unsigned number = 0;
            {
                std::lock_guard lock(m_mutex);
                number = ++m_started;
            }
            start->m_group = PidsCgroup::Make(
                "fourfall-" + std::to_string(getpid()) + "-" + std::to_string(number),
                *limits.processes, error);
            if (!start->m_group) {
                return nullptr;
            }
            line.insert(line.end(), {"--cgroup", start->m_group->Path()});
        } else {
            line.insert(line.end(), {"--processes", std::to_string(*limits.processes)});
        }
    }
    line.emplace_back("--");

    if (m_options.sandbox) {
        line.insert(line.end(), {m_bwrap, "--unshare-user", "--unshare-pid", "--unshare-ipc",
                                 "--unshare-net", "--unshare-uts", "--die-with-parent"});
        for (const char* folder : kSystemFolders) {
            std::error_code code;
            const fs::file_status status = fs::symlink_status(folder, code);
            if (code || !fs::exists(status)) {
                continue;
            }
            if (fs::is_symlink(status)) {
                line.insert(line.end(),
                            {"--symlink", fs::read_symlink(folder, code).string(), folder});
            } else {
                line.insert(line.end(), {"--ro-bind", folder, folder});
            }
        }
        line.insert(line.end(), {"--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp", "--chdir",
                                 "/tmp", "--setenv", "TMPDIR", "/tmp", "--setenv", "HOME", "/tmp"});
        std::set<std::string> bound;
        const auto bind = [&](const std::string& path) {
            if (bound.insert(path).second && !InSystemFolder(path + "/")) {
                line.insert(line.end(), {"--ro-bind", path, path});
            }
        };
        for (std::size_t i = 0; i < words->size(); ++i) {
            std::string& word = (*words)[i];
            std::string file = word;
            if (i == 0 && word.find('/') == std::string::npos) {
                file = FindInPath(word);
            }
            std::error_code code;
            if (file.empty() || !fs::is_regular_file(file, code)) {
                continue;
            }
            const fs::path absolute = fs::absolute(file, code).lexically_normal();
            const fs::path real = fs::canonical(file, code);
            if (code || InSystemFolder(absolute.string())) {
                continue;
            }
            // The folder as named and, behind links, as it really is.
            bind(absolute.parent_path().string());
            bind(real.parent_path().string());
            // A relative name would resolve against the sandbox's own working directory.
            word = absolute.string();
        }
        for (const std::string& path : m_options.allowed) {
            std::error_code code;
            const fs::path absolute = fs::canonical(path, code);
            if (!code) {
                bind(absolute.string());
            }
        }
        line.emplace_back("--");
    }
    line.insert(line.end(), words->begin(), words->end());

    for (const std::string& word : line) {
        start->m_commandLine += (start->m_commandLine.empty() ? "" : " ") + QuoteCommandWord(word);
    }
    return start;
}
