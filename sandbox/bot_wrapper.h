#pragma once

#include "sandbox/bot_limits.h"
#include "sandbox/pids_cgroup.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Starts bots under resource limits and, if asked, in a sandbox, by rewriting each bot's command
// line: fourfall-bot-launcher sets the limits and joins the bot's pids group before anything of
// the bot runs, then executes bubblewrap (with --sandbox) or the bot itself. So the limits hold
// from the bot's first instruction and for everything it starts; the channel starts the rewritten
// command line as it starts any other.
//
// The sandbox: new user, PID, IPC and network namespaces (no network at all); the system's program
// and library folders and /etc read-only; the folder of every word of the command line that names
// an existing file read-only (such a word is passed on as an absolute path), and each extra path
// allowed; a private /tmp per bot process (the working directory, gone when the bot ends); /proc
// of the bot's own PID namespace; nothing else. The bot dies with the runner.
//
// Threads: Make on any thread; Prepare on any thread (referees playing side by side share one
// wrapper); a Start on one thread at a time.
class BotWrapper {
public:
    struct Options {
        BotLimits limits;
        bool sandbox = false;
        // Extra paths bound read-only into the sandbox.
        std::vector<std::string> allowed;
        // The launcher; empty: fourfall-bot-launcher beside the running program, or in
        // ../libexec/fourfall from its folder.
        std::string launcher;
    };

    // One start of a bot: its command line and its pids group (if any), which goes (with
    // whatever is left in it) when the start is destroyed.
    class Start {
    public:
        const std::string& CommandLine() const { return m_commandLine; }

        // Why a bot of this start ended or must lose, when a limit is the cause: "exceeded its
        // CPU time limit (2 s)", "exceeded its process limit (20)"; empty otherwise. `status` is
        // the wait status of the started process, if it ended.
        std::string LimitHit(std::optional<int> status) const;

    private:
        friend class BotWrapper;
        std::string m_commandLine;
        std::unique_ptr<PidsCgroup> m_group;
        BotLimits m_limits;
        bool m_sandbox = false;
    };

    // A wrapper for `options`, or nothing with a one-line message in `error`: the launcher or
    // bubblewrap ("bwrap" on PATH) missing.
    static std::unique_ptr<BotWrapper> Make(const Options& options, std::string& error);

    // The start of `commandLine` (a bot's command line as the user gave it); nothing with a
    // one-line message in `error` when the line cannot be split or a pids group not be made.
    std::unique_ptr<Start> Prepare(const std::string& commandLine, std::string& error);

    // Whether process limits bind exactly (through a pids group) rather than per user.
    bool ProcessesExact() const { return m_groupsWork; }

private:
    BotWrapper() = default;

    Options m_options;
    std::string m_bwrap;
    bool m_groupsWork = false;
    // Guards m_started, which names each start's pids group.
    std::mutex m_mutex;
    unsigned m_started = 0;
};
