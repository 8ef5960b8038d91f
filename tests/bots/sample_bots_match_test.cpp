// The sample bots refereed by fourfall-match, the program a bot author runs: random against
// random, strong against random and the Python example against random. Every logged game is
// replayed on the tests' own board, which must agree with the runner on each move's legality and
// on the result; an illegal move, a timeout or a bot that ended fails the test.

#include "child_process.h"
#include "grid_board.h"
#include "sample_bots.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct LoggedGame {
    int number = 0;
    int first = 0;
    std::string moves;
    std::string result;
    std::string reason;
};

struct MatchRun {
    std::optional<int> status;
    std::string output;
    std::vector<LoggedGame> games;
};

std::string CommandLine(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        line += (line.empty() ? "" : " ") + ("'" + word + "'");
    }
    return line;
}

// The value of `"name":` in one line of the log: a string without its quotes, or the text of a
// number or list up to the next "," or "}" (a list's brackets included). Empty when absent.
std::string Field(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const std::size_t at = line.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = at + key.size();
    if (line.compare(start, 1, "\"") == 0) {
        return line.substr(start + 1, line.find('"', start + 1) - start - 1);
    }
    const std::size_t end =
        line[start] == '[' ? line.find(']', start) + 1 : line.find_first_of(",}", start);
    return line.substr(start, end - start);
}

std::vector<LoggedGame> ReadLog(const std::string& path) {
    std::vector<LoggedGame> games;
    std::ifstream in(path);
    std::string line;
    // The first line describes the run.
    if (std::getline(in, line) && line.rfind("{\"log\":\"fourfall-match\",", 0) != 0) {
        ADD_FAILURE() << "unexpected first log line: " << line;
    }
    while (std::getline(in, line)) {
        if (line.empty() || line.front() != '{' || line.back() != '}' ||
            Field(line, "game").empty() || Field(line, "move_ms").empty()) {
            ADD_FAILURE() << "unexpected log line: " << line;
            continue;
        }
        games.push_back({std::atoi(Field(line, "game").c_str()),
                         std::atoi(Field(line, "first").c_str()), Field(line, "moves"),
                         Field(line, "result"), Field(line, "reason")});
    }
    return games;
}

// Runs fourfall-match between the two command lines with a log, and reads the log.
MatchRun RunMatch(int games, const std::vector<std::string>& one,
                  const std::vector<std::string>& two) {
    std::string dir = (std::filesystem::temp_directory_path() / "fourfall-bots-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return {};
    }
    const std::string log = dir + "/match.jsonl";
    ChildProcess runner({FOURFALL_MATCH, "--quiet", "--games", std::to_string(games), "--log", log,
                         CommandLine(one), CommandLine(two)});
    MatchRun run;
    run.output = runner.ReadToEnd(300s).value_or("(no end of output)");
    run.status = runner.Wait(30s);
    run.games = ReadLog(log);
    std::filesystem::remove_all(dir);
    return run;
}

// Replays `game` on the tests' own board: every move legal, and the result the board shows.
void CheckGame(const LoggedGame& game) {
    SCOPED_TRACE("game " + std::to_string(game.number) + ": " + game.moves + ", " + game.reason);
    GridBoard board;
    for (std::size_t i = 0; i < game.moves.size(); ++i) {
        const int column = game.moves[i] - '0';
        ASSERT_TRUE(board.CanPlay(column)) << "move " << i + 1 << "\n" << board.Rows();
        const int disc = board.PlayerToMove();
        board.Play(column);
        const bool last = i + 1 == game.moves.size();
        ASSERT_EQ(board.HasFour(disc), last && game.reason != "the board is full")
            << "move " << i + 1 << "\n"
            << board.Rows();
    }
    // The board counts the first mover as its player 1; the log names the slots.
    const int lastMoverSlot = game.moves.size() % 2 == 1 ? game.first : 3 - game.first;
    if (game.reason == "the board is full") {
        EXPECT_TRUE(board.Full());
        EXPECT_EQ(game.result, "1/2-1/2");
    } else {
        EXPECT_EQ(game.reason, "player " + std::to_string(lastMoverSlot) + " has four in a line");
        EXPECT_EQ(game.result, lastMoverSlot == 1 ? "1-0" : "0-1");
    }
}

void CheckMatch(const MatchRun& run, int games) {
    ASSERT_EQ(run.status, std::optional<int>(0)) << run.output;
    ASSERT_EQ(run.games.size(), static_cast<std::size_t>(games)) << run.output;
    for (std::size_t i = 0; i < run.games.size(); ++i) {
        EXPECT_EQ(run.games[i].number, static_cast<int>(i) + 1);
        EXPECT_EQ(run.games[i].first, i % 2 == 0 ? 1 : 2);
        CheckGame(run.games[i]);
    }
    // Player 1's row of the table: ... games wins draws losses score median max.
    std::istringstream output(run.output);
    std::string line;
    std::vector<std::string> row;
    while (std::getline(output, line)) {
        if (line.rfind("1 ", 0) == 0) {
            std::istringstream words(line);
            for (std::string word; words >> word;) {
                row.push_back(word);
            }
        }
    }
    ASSERT_GE(row.size(), 8u) << run.output;
    EXPECT_EQ(row[row.size() - 7], std::to_string(games)) << run.output;
}

TEST(SampleBotsMatchTest, RandomAgainstRandomPlaysAHundredCleanGames) {
    const MatchRun run =
        RunMatch(100, sample_bots::Random({"--seed", "11"}), sample_bots::Random({"--seed", "12"}));
    CheckMatch(run, 100);
}

TEST(SampleBotsMatchTest, StrongBotWinsEveryGameAgainstRandom) {
    const MatchRun run = RunMatch(20, sample_bots::Strong({"--time-ms", "100"}),
                                  sample_bots::Random({"--seed", "2024"}));
    CheckMatch(run, 20);
    for (const LoggedGame& game : run.games) {
        EXPECT_EQ(game.result, "1-0") << "game " << game.number << ": " << game.moves;
    }
}

TEST(SampleBotsMatchTest, PythonExamplePlaysWholeGamesAgainstRandom) {
    const std::vector<std::string> example = sample_bots::Example();
    if (example.empty()) {
        GTEST_SKIP() << "no Python 3 found by the build";
    }
    // Two games: the example moves first in one and second in the other.
    const MatchRun run = RunMatch(2, example, sample_bots::Random({"--seed", "5"}));
    CheckMatch(run, 2);
}

}  // namespace
