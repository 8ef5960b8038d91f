#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    // A test that writes to a bot that has died must fail, not be killed by the signal.
    std::signal(SIGPIPE, SIG_IGN);

    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    if (::pipe2(toChild, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 2);
    // The child must not inherit our ignored SIGPIPE: the bots are judged as the moderator runs
    // them, with the default disposition.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (error != 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        return;
    }
    m_pid = pid;
    m_input = toChild[1];
    m_output = fromChild[0];
}

ChildProcess::~ChildProcess() {
    CloseInput();
    if (m_output >= 0) {
        ::close(m_output);
    }
    if (m_pid > 0 && !m_status) {
        if (!Wait(std::chrono::milliseconds(2000))) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
}

bool ChildProcess::Write(std::string_view bytes) {
    if (m_input < 0) {
        return false;
    }
    const ssize_t written = ::write(m_input, bytes.data(), bytes.size());
    return written == static_cast<ssize_t>(bytes.size());
}

void ChildProcess::CloseInput() {
    if (m_input >= 0) {
        ::close(m_input);
        m_input = -1;
    }
}

std::optional<std::string> ChildProcess::ReadChunk(std::chrono::milliseconds timeout) {
    if (!m_pending.empty()) {
        return std::exchange(m_pending, std::string());
    }
    if (m_output < 0) {
        return std::nullopt;
    }
    pollfd fd{m_output, POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) {
        return std::string();
    }
    char buffer[4096];
    ssize_t got = -1;
    do {
        got = ::read(m_output, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(got));
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::string text = std::exchange(m_pending, std::string());
    for (;;) {
        const std::size_t end = text.find('\n');
        if (end != std::string::npos) {
            m_pending = text.substr(end + 1);
            return text.substr(0, end);
        }
        std::optional<std::string> chunk =
            ReadChunk(std::chrono::milliseconds(RemainingMs(deadline)));
        if (!chunk || chunk->empty()) {  // end of output, or out of time
            m_pending = text;
            return std::nullopt;
        }
        text += *chunk;
    }
}

std::optional<std::string> ChildProcess::ReadToEnd(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::string text = std::exchange(m_pending, std::string());
    for (;;) {
        std::optional<std::string> chunk =
            ReadChunk(std::chrono::milliseconds(RemainingMs(deadline)));
        if (!chunk) {
            return text;
        }
        if (chunk->empty()) {
            m_pending = text;
            return std::nullopt;
        }
        text += *chunk;
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (m_status || m_pid <= 0) {
        return m_status;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return m_status;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
