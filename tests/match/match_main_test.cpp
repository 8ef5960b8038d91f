// fourfall-match as a program: its command line, exit status, output, log, and that it leaves no
// bot behind, whether the match ends, a bot overruns a limit or the runner is interrupted.

#include "tests/match/runner_process.h"
#include "tests/match/scripted_bot.h"
#include "tests/testbots/process_inspection.h"
#include "tests/testbots/wait_until.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// Every pid the bots recorded: their copies and the children they started.
std::vector<pid_t> AllPids(const std::vector<const ScriptedBot*>& bots) {
    std::vector<pid_t> pids;
    for (const ScriptedBot* bot : bots) {
        for (const pid_t pid : bot->Pids()) {
            pids.push_back(pid);
        }
        for (const pid_t pid : bot->Grandchildren()) {
            pids.push_back(pid);
        }
    }
    return pids;
}

const std::string kUsageStart = "usage: fourfall-match [options] COMMAND1 COMMAND2\n";

class MatchMainTest : public ::testing::Test {
protected:
    TempDir m_dir;
    ScriptedBot m_one{m_dir.Path(), "one"};
    ScriptedBot m_two{m_dir.Path(), "two"};
};

TEST_F(MatchMainTest, UsageErrorsGiveOneLineAndTheUsageWithStatus2) {
    const std::vector<std::vector<std::string>> cases = {{},
                                                         {"a"},
                                                         {"--games", "0", "a", "b"},
                                                         {"--move-time", "soon", "a", "b"},
                                                         {"--x", "a", "b"}};
    for (const std::vector<std::string>& args : cases) {
        RunnerProcess runner(m_dir.Path(), args);
        EXPECT_EQ(runner.Wait(10s), 2);
        const std::string error = runner.Stderr();
        const std::size_t lineEnd = error.find('\n');
        ASSERT_NE(lineEnd, std::string::npos);
        EXPECT_EQ(error.rfind("fourfall-match: ", 0), 0u) << error;
        EXPECT_EQ(error.substr(lineEnd + 1, kUsageStart.size()), kUsageStart) << error;
        EXPECT_EQ(runner.Stdout(), "");
    }
}

TEST_F(MatchMainTest, HelpPrintsTheUsage) {
    RunnerProcess runner(m_dir.Path(), {"--help"});
    EXPECT_EQ(runner.Wait(10s), 0);
    EXPECT_EQ(runner.Stdout().rfind(kUsageStart, 0), 0u);
}

TEST_F(MatchMainTest, BotThatCannotBeStartedGivesStatus1AndTheOtherBotEnds) {
    RunnerProcess runner(m_dir.Path(), {m_one.CommandLine(), "/nonexistent/fourfall-bot --x"});
    EXPECT_EQ(runner.Wait(10s), 1);
    EXPECT_EQ(runner.Stderr(),
              "fourfall-match: player 2 could not be started: /nonexistent/fourfall-bot --x: No "
              "such file or directory\n");
    const std::vector<pid_t> pids = m_one.Pids();
    ASSERT_EQ(pids.size(), 1u);
    EXPECT_FALSE(ProcessInspection::IsAlive(pids[0]));
}

TEST_F(MatchMainTest, PrintsEachGameAndTheTableAndLogsEachGame) {
    m_one.RelativeRecord().Games({"1,1,1,1", "2,2,2", "4", EveryOther(kTieMoves, 1), "9"});
    m_two.RelativeRecord().Games({"2,2,2", "1,1,1,1", "@exit", EveryOther(kTieMoves, 0), ""});
    RunnerProcess runner(m_dir.Path(), {"--games", "5", "--log", "match.jsonl", m_one.CommandLine(),
                                        m_two.CommandLine()});
    ASSERT_EQ(runner.Wait(60s), 0) << runner.Stderr();
    EXPECT_EQ(runner.Stderr(), "");
    EXPECT_EQ(runner.Stdout(),
              "game 1/5: 1-0, player 1 has four in a line (player 1 first, 7 moves)\n"
              "game 2/5: 0-1, player 2 has four in a line (player 2 first, 7 moves)\n"
              "game 3/5: 1-0, player 2 ended (player 1 first, 1 move)\n"
              "game 4/5: player 2 had ended and was started again\n"
              "game 4/5: 1/2-1/2, the board is full (player 2 first, 42 moves)\n"
              "game 5/5: 0-1, player 1 made an illegal move: 9 (player 1 first, 0 moves)\n"
              "player  bot                               games  wins  draws  losses  score\n"
              "1       matchbot --record one.rec 1,1...      5     2      1       2    2.5\n"
              "2       matchbot --record two.rec 2,2...      5     2      1       2    2.5\n"
              "Elo difference (player 1 - player 2): +0.0 \u00b1 366.8 (95 %)\n");

    // Move times vary: each list is checked for its length, then left out of the comparison.
    const std::string key = "\"move_ms\":[";
    std::vector<std::string> logged;
    std::vector<std::size_t> timeCounts;
    for (std::string line : ReadLines(m_dir.Path() + "/match.jsonl")) {
        const std::size_t start = line.find(key);
        ASSERT_NE(start, std::string::npos) << line;
        const std::size_t end = line.find(']', start);
        const std::string list = line.substr(start + key.size(), end - start - key.size());
        EXPECT_EQ(list.find_first_not_of("0123456789,"), std::string::npos) << line;
        timeCounts.push_back(list.empty() ? 0 : std::count(list.begin(), list.end(), ',') + 1u);
        line.replace(start + key.size(), list.size(), "T");
        logged.push_back(line);
    }
    const std::string tie = kTieMoves;
    EXPECT_EQ(logged, (std::vector<std::string>{
                          "{\"game\":1,\"first\":1,\"moves\":\"1212121\",\"result\":\"1-0\","
                          "\"reason\":\"player 1 has four in a line\",\"move_ms\":[T],"
                          "\"restarted\":[]}",
                          "{\"game\":2,\"first\":2,\"moves\":\"1212121\",\"result\":\"0-1\","
                          "\"reason\":\"player 2 has four in a line\",\"move_ms\":[T],"
                          "\"restarted\":[]}",
                          "{\"game\":3,\"first\":1,\"moves\":\"4\",\"result\":\"1-0\","
                          "\"reason\":\"player 2 ended\",\"move_ms\":[T],\"restarted\":[]}",
                          "{\"game\":4,\"first\":2,\"moves\":\"" + tie +
                              "\",\"result\":\"1/2-1/2\",\"reason\":\"the board is full\","
                              "\"move_ms\":[T],\"restarted\":[2]}",
                          "{\"game\":5,\"first\":1,\"moves\":\"\",\"result\":\"0-1\","
                          "\"reason\":\"player 1 made an illegal move: 9\",\"move_ms\":[T],"
                          "\"restarted\":[]}"}));
    EXPECT_EQ(timeCounts, (std::vector<std::size_t>{7, 7, 1, 42, 0}));
    for (const pid_t pid : AllPids({&m_one, &m_two})) {
        EXPECT_FALSE(ProcessInspection::IsAlive(pid)) << pid;
    }
}

TEST_F(MatchMainTest, QuietPrintsOnlyTheTable) {
    m_one.Games({"1,1,1,1"});
    m_two.Games({"2,2,2"});
    RunnerProcess runner(m_dir.Path(),
                         {"--quiet", "--games=1", m_one.CommandLine(), m_two.CommandLine()});
    ASSERT_EQ(runner.Wait(30s), 0);
    EXPECT_EQ(runner.Stdout().rfind("player  bot", 0), 0u) << runner.Stdout();
}

TEST_F(MatchMainTest, LeavesNoBotBehindAfterATimeout) {
    // Player 1 is still asleep in its turn when the match ends; player 2 ignores the end of its
    // input. Both leave a child of their own in their process group.
    m_one.Games({"@sleep=60000"}).Options({"--grandchild"});
    m_two.Options({"--ignore-eof", "--grandchild"});
    RunnerProcess runner(m_dir.Path(), {"--games", "1", "--move-time", "300ms", m_one.CommandLine(),
                                        m_two.CommandLine()});
    ASSERT_EQ(runner.Wait(30s), 0) << runner.Stderr();
    EXPECT_NE(runner.Stdout().find("player 1 did not move within 300 ms"), std::string::npos);
    const std::vector<pid_t> pids = AllPids({&m_one, &m_two});
    EXPECT_EQ(pids.size(), 4u);
    for (const pid_t pid : pids) {
        EXPECT_FALSE(ProcessInspection::IsAlive(pid)) << pid;
    }
}

class MatchMainSignalTest : public MatchMainTest, public ::testing::WithParamInterface<int> {};

TEST_P(MatchMainSignalTest, InterruptedRunEndsEveryBotAndReports) {
    m_one.Games({"@wait"}).Options({"--ignore-eof", "--grandchild"});
    m_two.Options({"--ignore-eof", "--grandchild"});
    RunnerProcess runner(m_dir.Path(), {"--games", "3", "--move-time", "60", m_one.CommandLine(),
                                        m_two.CommandLine()});
    // Once player 1 has been told to move, the game is under way.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<std::string> received = m_one.Received();
            return !received.empty() && received.front() == "1";
        },
        30s));
    const int signal = GetParam();
    runner.Signal(signal);
    ASSERT_EQ(runner.Wait(20s), 128 + signal);
    EXPECT_EQ(runner.Stderr(), "fourfall-match: interrupted by signal " + std::to_string(signal) +
                                   " after 0 of 3 games\n");
    EXPECT_NE(runner.Stdout().find("none, no games were played"), std::string::npos);
    const std::vector<pid_t> pids = AllPids({&m_one, &m_two});
    EXPECT_EQ(pids.size(), 4u);
    for (const pid_t pid : pids) {
        EXPECT_FALSE(ProcessInspection::IsAlive(pid)) << pid;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, MatchMainSignalTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return param.param == SIGINT ? std::string("Interrupt")
                                                          : std::string("Terminate");
                         });

}  // namespace
