// The runner's limits and sandbox against a hostile bot (tests/sandbox/hostilebot.cpp), each
// misdeed tried with and without the protection meant for it: with it, the bot is stopped or
// refused, loses (or plays on harmlessly), the match goes on, the runner's working directory holds
// nothing new and no process is left; without it, the misdeed works, which shows the test can
// tell.

#include "sandbox/pids_cgroup.h"
#include "tests/match/runner_process.h"
#include "tests/match/scripted_bot.h"
#include "tests/testbots/wait_until.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A sanitizer's shadow memory needs far more address space than any --bot-memory allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

const std::string kRandomBot = std::string(FOURFALL_RANDOM_BOT) + " --seed 5";

bool SandboxWorks() {
    return std::system(
               "bwrap --unshare-user --unshare-pid --unshare-net --ro-bind /usr /usr "
               "--symlink usr/lib64 /lib64 --symlink usr/lib /lib /usr/bin/true "
               ">/dev/null 2>&1") == 0;
}

bool PidsGroupsWork() {
    std::string error;
    return PidsCgroup::Make("fourfall-test-probe-" + std::to_string(getpid()), 5, error) != nullptr;
}

std::set<std::string> FolderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The pids of running processes whose command line holds `mark`.
std::vector<pid_t> ProcessesMarked(const std::string& mark) {
    std::vector<pid_t> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream in(entry.path() / "cmdline");
        std::stringstream text;
        text << in.rdbuf();
        if (text.str().find(mark) != std::string::npos) {
            pids.push_back(std::stoi(name));
        }
    }
    return pids;
}

// A TCP listener on 127.0.0.1 that the test opens itself, at a port the kernel picks.
class Listener {
public:
    Listener() {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(m_fd, 8) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
        }
        m_port = ntohs(address.sin_port);
    }
    ~Listener() { close(m_fd); }
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

struct HostileCase {
    const char* name;
    // The hostile bot's mode and argument ("{dir}" is a folder outside the bot's, "{run}" the
    // runner's working directory, "{port}" the listener's port, "{mark}" a word unique to the
    // case).
    std::string mode;
    std::string arg;
    // The runner's protection for it, and what the output holds with it and without it (empty:
    // what it holds with it is missing).
    std::vector<std::string> protection;
    std::string withProtection;
    std::string without;
    // What it needs: the sandbox, a pids group, no sanitizer.
    bool needsSandbox = false;
    bool needsPidsGroup = false;
    bool needsPlainBuild = false;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Expand(std::string text, const std::string& dir, const std::string& run, int port,
                   const std::string& mark) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{dir}", dir},
                                     {"{run}", run},
                                     {"{port}", std::to_string(port)},
                                     {"{mark}", mark}}) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

class HostileBotTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileBotTest, IsStoppedOrRefusedAndTheMatchGoesOn) {
    const HostileCase& c = GetParam();
    if (c.needsSandbox && !SandboxWorks()) {
        GTEST_SKIP() << "bubblewrap with user namespaces is not available here";
    }
    if (c.needsPidsGroup && !PidsGroupsWork()) {
        GTEST_SKIP() << "no pids control group can be made here";
    }
    if (c.needsPlainBuild && kSanitized) {
        GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space limit";
    }
    TempDir dir;
    TempDir secrets;
    std::ofstream(secrets.Path() + "/secret") << "not for bots\n";
    Listener listener;
    const std::string mark = "fourfall-mark-" + std::to_string(getpid()) + "-" + c.name;
    const std::string bot = std::string(FOURFALL_HOSTILEBOT) + " " + c.mode + " " +
                            Expand(c.arg, secrets.Path(), dir.Path(), listener.Port(), mark);

    for (const bool protect : {true, false}) {
        SCOPED_TRACE(protect ? "protected" : "unprotected");
        std::vector<std::string> args = {"--games", "2", "--move-time", "20", kRandomBot, bot};
        if (protect) {
            args.insert(args.begin(), c.protection.begin(), c.protection.end());
        }
        const std::set<std::string> before = FolderEntries(dir.Path());
        RunnerProcess runner(dir.Path(), args);
        ASSERT_EQ(runner.Wait(120s), 0) << runner.Stderr();
        const std::string output = runner.Stdout();
        if (protect || !c.without.empty()) {
            const std::string& expected = protect ? c.withProtection : c.without;
            EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
        } else {
            EXPECT_EQ(output.find(c.withProtection), std::string::npos) << output;
        }
        EXPECT_NE(output.find("game 2/2: "), std::string::npos) << output;
        // Only the runner's own two output files.
        std::set<std::string> after = FolderEntries(dir.Path());
        after.erase("stdout");
        after.erase("stderr");
        std::set<std::string> was = before;
        was.erase("stdout");
        was.erase("stderr");
        if (protect || c.mode != "write") {
            EXPECT_EQ(after, was);
        } else {
            EXPECT_EQ(after.count("intruder"), 1u);
        }
        std::filesystem::remove(dir.Path() + "/intruder");
        const std::vector<pid_t> left = ProcessesMarked(mark);
        if (protect || c.mode != "child") {
            EXPECT_TRUE(left.empty()) << left.size() << " processes left";
        } else {
            // Out of the runner's process group, the child outlives the match.
            EXPECT_FALSE(left.empty());
        }
        for (const pid_t pid : left) {
            kill(pid, SIGKILL);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Misdeeds, HostileBotTest,
    ::testing::Values(
        // An address-space limit cannot tell why a bot ended.
        HostileCase{"AllocatesWithoutEnd",
                    "alloc",
                    "",
                    {"--bot-memory", "256M"},
                    "game 1/2: 1-0, player 2 ended",
                    "",
                    false,
                    false,
                    true},
        HostileCase{"ForksWithoutEnd",
                    "fork",
                    "",
                    {"--bot-processes", "20"},
                    "game 1/2: 1-0, player 2 exceeded its process limit (20)",
                    "",
                    false,
                    true},
        HostileCase{"SpinsOnTheCpu",
                    "spin",
                    "",
                    {"--bot-cpu-time", "1"},
                    "game 1/2: 1-0, player 2 exceeded its CPU time limit (1 s)",
                    ""},
        HostileCase{"WritesIntoTheRunnersFolder",
                    "write",
                    "{run}/intruder",
                    {"--sandbox"},
                    "player 2 has four in a line",
                    "player 2 made an illegal move: 8",
                    true},
        HostileCase{"ReadsAFileOutsideItsFolder",
                    "read",
                    "{dir}/secret",
                    {"--sandbox"},
                    "player 2 has four in a line",
                    "player 2 made an illegal move: 8",
                    true},
        HostileCase{"ConnectsToALocalListener",
                    "connect",
                    "{port}",
                    {"--sandbox"},
                    "player 2 has four in a line",
                    "player 2 made an illegal move: 8",
                    true},
        HostileCase{"LeavesAChildRunning",
                    "child",
                    "{mark}",
                    {"--sandbox"},
                    "player 2 has four in a line",
                    "player 2 has four in a line",
                    true}),
    [](const ::testing::TestParamInfo<HostileCase>& param) { return param.param.name; });

// The sample bots, a script given to an interpreter among them, play the same games in the sandbox
// under all three limits as without.
TEST(SandboxTest, SampleBotsPlayTheSameGamesUnderEveryLimit) {
    if (!SandboxWorks()) {
        GTEST_SKIP() << "bubblewrap with user namespaces is not available here";
    }
    TempDir dir;
    if (std::string(FOURFALL_PYTHON3).empty()) {
        GTEST_SKIP() << "no Python 3 was found for the example bot";
    }
    // The system's own interpreter: one behind a version manager's shim needs more folders.
    const std::vector<std::string> bots = {
        kRandomBot, std::string(FOURFALL_PYTHON3) + " " + FOURFALL_EXAMPLE_BOT};
    std::vector<std::string> logs;
    for (const bool sandboxed : {false, true}) {
        std::vector<std::string> args = {"--games", "6", "--quiet", "--log",
                                         sandboxed ? "sandboxed.jsonl" : "plain.jsonl"};
        if (sandboxed) {
            args.insert(args.end(), {"--sandbox", "--bot-cpu-time", "60", "--bot-processes", "50"});
            if (!kSanitized) {
                args.insert(args.end(), {"--bot-memory", "1G"});
            }
        }
        args.insert(args.end(), bots.begin(), bots.end());
        RunnerProcess runner(dir.Path(), args);
        ASSERT_EQ(runner.Wait(120s), 0) << runner.Stderr();
        std::ifstream in(dir.Path() + "/" + (sandboxed ? "sandboxed.jsonl" : "plain.jsonl"));
        std::string games;
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            // Each game's moves and result: what does not depend on timing.
            games += line.substr(0, line.find(",\"move_ms\"")) + "\n";
        }
        logs.push_back(games);
    }
    EXPECT_EQ(std::count(logs[0].begin(), logs[0].end(), '\n'), 6);
    EXPECT_EQ(logs[1], logs[0]);
}

}  // namespace
