// fourfall-match as a program: its command line, exit status, output, log, and that it leaves no
// bot behind, whether the match ends, a bot overruns a limit or the runner is interrupted.

#include "match/game_record.h"
#include "tests/match/runner_process.h"
#include "tests/match/scripted_bot.h"
#include "tests/testbots/process_inspection.h"
#include "tests/testbots/wait_until.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
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

const std::string kUsageStart = "usage: fourfall-match [options] COMMAND1 COMMAND2 [COMMAND3...]\n";

// The runner's output with the two timing columns of each bot's table row replaced by "T".
std::string WithoutTimes(const std::string& output) {
    std::istringstream lines(output);
    std::string result;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("1 ") || line.starts_with("2 ")) {
            for (int field = 0; field < 2; ++field) {
                line.erase(line.find_last_not_of(' ', line.find_last_of(' ')) + 1);
            }
            line += "  T";
        }
        result += line + "\n";
    }
    return result;
}

// The games of a log, ordered by number, their move times left out: what deterministic bots
// play the same way every time.
std::vector<GameRecord> LoggedGames(const std::string& path) {
    std::vector<GameRecord> games;
    std::vector<std::string> lines = ReadLines(path);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::optional<GameRecord> record = GameRecord::FromJson(lines[i]);
        EXPECT_TRUE(record) << lines[i];
        if (record) {
            record->moveMs.clear();
            games.push_back(*record);
        }
    }
    std::sort(games.begin(), games.end(),
              [](const GameRecord& a, const GameRecord& b) { return a.number < b.number; });
    return games;
}

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
                                                         {"--x", "a", "b"},
                                                         {"--book", "b.book", "a", "b"}};
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
    EXPECT_EQ(WithoutTimes(runner.Stdout()),
              "game 1/5: 1-0, player 1 has four in a line (player 1 first, 7 moves)\n"
              "game 2/5: 0-1, player 2 has four in a line (player 2 first, 7 moves)\n"
              "game 3/5: 1-0, player 2 ended (player 1 first, 1 move)\n"
              "game 4/5: player 2 had ended and was started again\n"
              "game 4/5: 1/2-1/2, the board is full (player 2 first, 42 moves)\n"
              "game 5/5: 0-1, player 1 made an illegal move: 9 (player 1 first, 0 moves)\n"
              "player  bot                               games  wins  draws  losses    score  "
              "median ms  max ms\n"
              "1       matchbot --record one.rec 1,1...      5     2      1       2      2.5  T\n"
              "2       matchbot --record two.rec 2,2...      5     2      1       2      2.5  T\n"
              "Elo difference (player 1 - player 2): +0.0 \u00b1 366.8 (95 %)\n"
              "draw ratio 20.0 %, likelihood that player 1 is the stronger 50.0 %\n"
              // Games 1-2 score 1 of 2 points for player 1, games 3-4 1.5: a mean of 0.625.
              "pairs 2 (LL 0, LD 0, DD+WL 1, WD 1, WW 0), Elo from the pairs +88.7 [-33.6, "
              "+238.9] (95 %)\n");

    // Move times vary: each list is checked for its length, then left out of the comparison.
    const std::string key = "\"move_ms\":[";
    std::vector<std::string> logged;
    std::vector<std::size_t> timeCounts;
    std::vector<std::string> lines = ReadLines(m_dir.Path() + "/match.jsonl");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().rfind("{\"log\":\"fourfall-match\",", 0), 0u) << lines.front();
    lines.erase(lines.begin());
    for (std::string line : lines) {
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

// Two bots that play by the position alone: the same games, however the run is cut up.
class MatchMainScheduleTest : public MatchMainTest {
protected:
    static constexpr int kGames = 12;

    MatchMainScheduleTest() {
        m_one.Options({"--by-position"});
        m_two.Options({"--by-position"});
    }

    // Runs all games at concurrency 1 into "reference.jsonl" and returns them.
    std::vector<GameRecord> Reference() {
        RunnerProcess runner(m_dir.Path(),
                             {"--games", std::to_string(kGames), "--log", "reference.jsonl",
                              m_one.CommandLine(), m_two.CommandLine()});
        EXPECT_EQ(runner.Wait(60s), 0) << runner.Stderr();
        std::vector<GameRecord> games = LoggedGames(m_dir.Path() + "/reference.jsonl");
        EXPECT_EQ(games.size(), static_cast<std::size_t>(kGames));
        return games;
    }
};

TEST_F(MatchMainScheduleTest, ConcurrentGamesAreTheGamesPlayedOneAtATime) {
    const std::vector<GameRecord> reference = Reference();
    RunnerProcess runner(
        m_dir.Path(), {"--games", std::to_string(kGames), "--concurrency", "3", "--quiet", "--log",
                       "parallel.jsonl", m_one.CommandLine(), m_two.CommandLine()});
    ASSERT_EQ(runner.Wait(60s), 0) << runner.Stderr();
    EXPECT_EQ(LoggedGames(m_dir.Path() + "/parallel.jsonl"), reference);
    EXPECT_EQ(ReadLines(m_dir.Path() + "/parallel.jsonl").front(),
              ReadLines(m_dir.Path() + "/reference.jsonl").front());
    // A pair of bots for the reference run, three for this one, each started once and all gone.
    EXPECT_EQ(m_one.Pids().size() + m_two.Pids().size(), 8u);
    for (const pid_t pid : AllPids({&m_one, &m_two})) {
        EXPECT_FALSE(ProcessInspection::IsAlive(pid)) << pid;
    }
}

TEST_F(MatchMainScheduleTest, KilledRunResumesWithEveryGameOnceAndRefusesAnotherRun) {
    const std::vector<GameRecord> reference = Reference();
    // Slow bots, so that the run is killed with games still to play.
    m_one.Options({"--by-position", "20"});
    m_two.Options({"--by-position", "20"});
    const std::vector<std::string> args = {
        "--games",       std::to_string(kGames), "--log",
        "resumed.jsonl", m_one.CommandLine(),    m_two.CommandLine()};
    const std::string log = m_dir.Path() + "/resumed.jsonl";
    {
        RunnerProcess runner(m_dir.Path(), args);
        ASSERT_TRUE(WaitUntil([&] { return ReadLines(log).size() >= 3; }, 60s));
        runner.Signal(SIGKILL);
        ASSERT_EQ(runner.Wait(10s), 128 + SIGKILL);
    }
    const std::size_t logged = ReadLines(log).size() - 1;
    ASSERT_LT(logged, static_cast<std::size_t>(kGames));
    {
        // A line cut short, as by a kill in the middle of a write.
        std::ofstream torn(log, std::ios::app);
        torn << "{\"game\":" << kGames << ",\"first\":2,\"mo";
    }

    std::vector<std::string> resume = args;
    resume.push_back("--resume");
    RunnerProcess runner(m_dir.Path(), resume);
    ASSERT_EQ(runner.Wait(120s), 0) << runner.Stderr();
    const std::vector<GameRecord> games = LoggedGames(log);
    EXPECT_EQ(games, reference);
    EXPECT_EQ(ReadLines(log).size(), static_cast<std::size_t>(kGames) + 1);
    // Only the missing games were played, and the table counts all of them.
    const std::string output = runner.Stdout();
    EXPECT_EQ(static_cast<std::size_t>(std::count(output.begin(), output.end(), '\n')),
              kGames - logged + 6)
        << output;
    EXPECT_NE(output.find("12     6      0       6      6.0"), std::string::npos) << output;

    // The same log with another bot as player 2: refused, the log untouched.
    const std::vector<std::string> before = ReadLines(log);
    resume[resume.size() - 2] = m_two.CommandLine() + " --never-ready";
    RunnerProcess other(m_dir.Path(), resume);
    EXPECT_EQ(other.Wait(30s), 2);
    const std::string error = other.Stderr();
    EXPECT_EQ(error.rfind("fourfall-match: cannot resume: the log was written with player 2 ", 0),
              0u)
        << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_EQ(ReadLines(log), before);

    // Audited games cannot join games that were not.
    resume[resume.size() - 2] = m_two.CommandLine();
    resume.push_back("--audit");
    RunnerProcess audited(m_dir.Path(), resume);
    EXPECT_EQ(audited.Wait(30s), 2);
    EXPECT_EQ(audited.Stderr(),
              "fourfall-match: cannot resume: the log was written without --audit\n");
    EXPECT_EQ(ReadLines(log), before);
}

TEST_F(MatchMainTest, NoteFloodPlaysOnAndAnEndlessLineLosesInBoundedMemory) {
    // Player 1 writes 256 MiB of notes before each move; player 2 writes a line without end.
    m_one.Games({"@note-flood=128,1,@note-flood=128,1,1,1"});
    m_two.Games({"@endless"});
    RunnerProcess runner(m_dir.Path(), {"--games", "2", "--start-time", "1", m_one.CommandLine(),
                                        m_two.CommandLine()});
    ASSERT_EQ(runner.Wait(120s), 0) << runner.Stderr();
    const std::string output = runner.Stdout();
    EXPECT_NE(output.find("game 1/2: 1-0, player 2 wrote a line longer than 4096 bytes (player 1 "
                          "first, 1 move)"),
              std::string::npos)
        << output;
    // Still writing its endless line, player 2 never answers the "0" with "p".
    EXPECT_NE(output.find("game 2/2: 1-0, player 2 was not ready within 1 s"), std::string::npos)
        << output;
    EXPECT_LT(runner.MaxRssKb(), 64 * 1024);
    for (const pid_t pid : AllPids({&m_one, &m_two})) {
        EXPECT_FALSE(ProcessInspection::IsAlive(pid)) << pid;
    }
}

// Each opening is played by a pair of games, the first mover swapped, by bots that announced them;
// each bot learns the opening before its "1" or "2", and the side whose turn follows the opening
// moves first.
TEST_F(MatchMainTest, OpeningsArePlayedInPairsWithTheFirstMoverSwapped) {
    std::ofstream(m_dir.Path() + "/openings.txt") << "# two openings\n443\n\n  17  # a pair\n";
    m_one.Options({"--openings", "--by-position"});
    m_two.Options({"--openings", "--by-position"});
    RunnerProcess runner(m_dir.Path(), {"--games", "6", "--openings", "openings.txt", "--log",
                                        "match.jsonl", m_one.CommandLine(), m_two.CommandLine()});
    ASSERT_EQ(runner.Wait(60s), 0) << runner.Stderr();
    const std::vector<GameRecord> games = LoggedGames(m_dir.Path() + "/match.jsonl");
    ASSERT_EQ(games.size(), 6u);
    const std::vector<std::string> openings = {"443", "443", "17", "17", "443", "443"};
    for (std::size_t i = 0; i < games.size(); ++i) {
        EXPECT_EQ(games[i].opening, openings[i]);
        EXPECT_EQ(games[i].firstMover, i % 2 == 0 ? 1 : 2);
    }
    EXPECT_NE(runner.Stdout().find("(player 2 first, opening 17, "), std::string::npos);
    // Player 1 is the first mover of game 1 (after "443" the second mover is to move) and the
    // second mover of game 2; it is to move in game 4 only, the first mover after "17".
    const std::vector<std::string> received = m_one.Received();
    std::vector<std::string> starts;
    for (std::size_t i = 0; i + 1 < received.size(); ++i) {
        if (received[i].rfind("opening ", 0) == 0) {
            starts.push_back(received[i].substr(8) + "/" + received[i + 1]);
        }
    }
    EXPECT_EQ(starts,
              (std::vector<std::string>{"443/1", "443/2", "17/1", "17/2", "443/1", "443/2"}));
    EXPECT_EQ(received[2], games[0].moves.substr(0, 1)) << "player 2 moved first in game 1";
}

// What a run with openings refuses before any game: one line on standard error, status 2.
TEST_F(MatchMainTest, RefusesBadOpeningsAndBotsThatCannotPlayThem) {
    std::ofstream(m_dir.Path() + "/bad.txt") << "44\n4444444\n";
    struct Refusal {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Refusal> refusals = {
        {{"--openings", "bad.txt", "--games", "2"},
         "fourfall-match: bad.txt, line 2: \"4444444\" is no opening: column 4 is full\n"},
        {{"--openings", "builtin", "--games", "3"},
         "fourfall-match: --games must be even with --openings: each opening is played twice\n"},
        {{"--openings", "builtin", "--games", "2"},
         "fourfall-match: player 2 cannot start from openings: a bot that can says so in its "
         "ready line, \"p openings\", but it wrote \"p\"\n"}};
    m_one.Options({"--openings"});
    for (const Refusal& refusal : refusals) {
        std::vector<std::string> args = refusal.args;
        args.insert(args.end(), {m_one.CommandLine(), m_two.CommandLine()});
        RunnerProcess runner(m_dir.Path(), args);
        EXPECT_EQ(runner.Wait(30s), 2);
        const std::string error = runner.Stderr();
        EXPECT_EQ(error.substr(0, error.find('\n') + 1), refusal.error);
    }
    // No game began: neither bot was told to start one.
    for (const ScriptedBot* bot : {&m_one, &m_two}) {
        for (const std::string& line : bot->Received()) {
            EXPECT_TRUE(line != "1" && line != "2") << bot->ReceivedText();
        }
    }
}

// Four bots of fixed strength: bot k makes an illegal move at its k-th move, so of any two the
// higher-numbered always wins, whoever moves first. A round robin ranks them so.
TEST_F(MatchMainTest, RoundRobinCrossTableAndRankingOfBotsOfFixedStrength) {
    std::vector<std::unique_ptr<ScriptedBot>> bots;
    std::vector<std::string> args = {"--games", "2", "--quiet", "--log", "rr.jsonl"};
    for (int k = 1; k <= 4; ++k) {
        bots.push_back(std::make_unique<ScriptedBot>(m_dir.Path(), "b" + std::to_string(k)));
        std::string script;
        for (int move = 1; move < k; ++move) {
            script += "1,";
        }
        bots.back()->Games({script + "9"});
        args.insert(args.end(), {"--name", "b" + std::to_string(k)});
    }
    for (const auto& bot : bots) {
        args.push_back(bot->CommandLine());
    }
    RunnerProcess runner(m_dir.Path(), args);
    ASSERT_EQ(runner.Wait(120s), 0) << runner.Stderr();
    std::vector<std::string> lines;
    std::istringstream output(runner.Stdout());
    for (std::string line; std::getline(output, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 12u) << runner.Stdout();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 6),
              (std::vector<std::string>{"     bot          1          2          3          4",
                                        "  1  b1           -      0-0-2      0-0-2      0-0-2",
                                        "  2  b2       2-0-0          -      0-0-2      0-0-2",
                                        "  3  b3       2-0-0      2-0-0          -      0-0-2",
                                        "  4  b4       2-0-0      2-0-0      2-0-0          -"}));
    // The ranking, strongest first, with each bot's games, wins, draws, losses and score.
    const std::vector<std::string> expected = {"b4 6 6 0 0 6.0", "b3 6 4 0 2 4.0", "b2 6 2 0 4 2.0",
                                               "b1 6 0 0 6 0.0"};
    for (std::size_t rank = 0; rank < 4; ++rank) {
        std::istringstream words(lines[8 + rank]);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) {
            fields.push_back(word);
        }
        ASSERT_EQ(fields.size(), 9u) << lines[8 + rank];
        EXPECT_EQ(fields[0], std::to_string(rank + 1));
        EXPECT_EQ(fields[1] + " " + fields[4] + " " + fields[5] + " " + fields[6] + " " +
                      fields[7] + " " + fields[8],
                  expected[rank]);
    }
    // The log names each game's two bots; the report program reads the same table from it.
    RunnerProcess report(m_dir.Path(), {"rr.jsonl"}, FOURFALL_REPORT_PATH);
    ASSERT_EQ(report.Wait(30s), 0) << report.Stderr();
    EXPECT_EQ(report.Stdout(), runner.Stdout());
}

// A bot that wins every pair: the test accepts H1 after a few pairs and the run stops there.
TEST_F(MatchMainTest, SprtStopsTheMatchOnceItDecides) {
    m_one.Games({"1,1,1,1"});
    m_two.Games({"9"});
    RunnerProcess runner(m_dir.Path(), {"--games", "100", "--sprt", "0,5", "--quiet", "--log",
                                        "sprt.jsonl", m_one.CommandLine(), m_two.CommandLine()});
    ASSERT_EQ(runner.Wait(60s), 0) << runner.Stderr();
    const std::string output = runner.Stdout();
    EXPECT_NE(output.find(", H1 accepted: 5 or more is likely\n"), std::string::npos) << output;
    const std::vector<GameRecord> games = LoggedGames(m_dir.Path() + "/sprt.jsonl");
    EXPECT_GE(games.size(), 2u);
    EXPECT_LE(games.size(), 6u);
    RunnerProcess report(m_dir.Path(), {"--json", "sprt.jsonl"}, FOURFALL_REPORT_PATH);
    ASSERT_EQ(report.Wait(30s), 0) << report.Stderr();
    EXPECT_NE(report.Stdout().find("\"verdict\":\"H1\""), std::string::npos) << report.Stdout();
}

// The shards of a run, played side by side by GNU parallel and reported together, are the run.
TEST_F(MatchMainScheduleTest, ShardsRunByParallelAddUpToTheWholeRun) {
    if (std::system("parallel --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "GNU parallel is not installed (Debian: parallel)";
    }
    ScriptedBot three(m_dir.Path(), "three");
    three.Options({"--by-position", "--openings"});
    m_one.Options({"--by-position", "--openings"});
    m_two.Options({"--by-position", "--openings"});
    const std::vector<std::string> run = {
        "--games", "4",       "--openings",        "builtin",           "--seed",
        "9",       "--quiet", m_one.CommandLine(), m_two.CommandLine(), three.CommandLine()};
    std::vector<std::string> whole = run;
    whole.insert(whole.end(), {"--log", "whole.jsonl"});
    RunnerProcess reference(m_dir.Path(), whole);
    ASSERT_EQ(reference.Wait(60s), 0) << reference.Stderr();

    // -q: each argument goes to the runner as it is, command lines with blanks included.
    std::vector<std::string> sharded = {"-q", "--will-cite", "--halt", "now,fail=1",
                                        FOURFALL_MATCH_PATH};
    sharded.insert(sharded.end(), run.begin(), run.end());
    sharded.insert(sharded.end(),
                   {"--shard", "{}/3", "--log", "shard{}.jsonl", ":::", "1", "2", "3"});
    RunnerProcess parallel(m_dir.Path(), sharded, "parallel");
    ASSERT_EQ(parallel.Wait(120s), 0) << parallel.Stderr();

    RunnerProcess together(
        m_dir.Path(),
        {"--json", "--merge", "merged.jsonl", "shard1.jsonl", "shard2.jsonl", "shard3.jsonl"},
        FOURFALL_REPORT_PATH);
    ASSERT_EQ(together.Wait(30s), 0) << together.Stderr();
    RunnerProcess alone(m_dir.Path(), {"--json", "whole.jsonl"}, FOURFALL_REPORT_PATH);
    ASSERT_EQ(alone.Wait(30s), 0) << alone.Stderr();
    EXPECT_EQ(together.Stdout(), alone.Stdout());
    EXPECT_NE(alone.Stdout().find("\"games\":12,"), std::string::npos) << alone.Stdout();
    EXPECT_EQ(LoggedGames(m_dir.Path() + "/merged.jsonl"),
              LoggedGames(m_dir.Path() + "/whole.jsonl"));
    // A shard holds whole pairs only.
    for (const GameRecord& game : LoggedGames(m_dir.Path() + "/shard2.jsonl")) {
        EXPECT_EQ((game.number - 1) / 2 % 3, 1) << game.number;
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
