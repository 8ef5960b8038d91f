// The referee with real scripted bots (tests/match/matchbot.cpp): every way a game ends, what each
// bot receives, what counts as a move, the time limits, bots that end or never get ready, and
// that every bot is gone when the referee is done with it.

#include "match/match_referee.h"
#include "tests/match/scripted_bot.h"
#include "tests/testbots/process_inspection.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// `prefix`, then the moves of `moves` from `first` on, every other one, then `suffix`, "|"-joined:
// what a bot receives when its opponent makes those moves.
std::string Transcript(const std::string& prefix, const std::string& moves, std::size_t first,
                       const std::string& suffix) {
    std::string text = prefix;
    for (std::size_t i = first; i < moves.size(); i += 2) {
        text += "|" + moves.substr(i, 1);
    }
    return text + "|" + suffix;
}

class MatchRefereeTest : public ::testing::Test {
protected:
    // Plays a match between the two bots and ends them; the records of the games played.
    std::vector<GameRecord> Play(ScriptedBot& one, ScriptedBot& two, int games = 1) {
        m_settings.commands = {one.CommandLine(), two.CommandLine()};
        m_settings.games = games;
        MatchReferee referee(m_settings);
        EXPECT_EQ(referee.StartBots(), 0);
        MatchReferee::Callbacks callbacks;
        callbacks.onRestart = [this](int player, int game, bool started) {
            m_restarts.push_back(std::to_string(player) + "@" + std::to_string(game) +
                                 (started ? "" : " failed"));
        };
        std::vector<GameRecord> records = referee.Play(callbacks);
        referee.EndBots();
        return records;
    }

    TempDir m_dir;
    ScriptedBot m_one{m_dir.Path(), "one"};
    ScriptedBot m_two{m_dir.Path(), "two"};
    MatchReferee::Settings m_settings{.commands = {},
                                      .games = 1,
                                      .moveTime = 5s,
                                      .startTime = 5s,
                                      .grace = 1s,
                                      .wrapper = nullptr,
                                      .openings = {},
                                      .audit = false,
                                      .book = nullptr};
    std::vector<std::string> m_restarts;
};

struct EndingCase {
    const char* name;
    std::string oneScript;
    std::string twoScript;
    std::string moves;
    std::string result;
    std::string reason;
    std::string oneReceived;
    std::string twoReceived;
};

// Names the case in gtest's messages instead of dumping its bytes.
void PrintTo(const EndingCase& c, std::ostream* os) {
    *os << c.name;
}

class GameEndingTest : public MatchRefereeTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(GameEndingTest, EndsAtTheFirstResultAndTellsBothBotsOnce) {
    const EndingCase& c = GetParam();
    m_one.Games({c.oneScript});
    m_two.Games({c.twoScript});
    const std::vector<GameRecord> records = Play(m_one, m_two);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].moves, c.moves);
    EXPECT_EQ(records[0].ResultText(), c.result);
    EXPECT_EQ(records[0].reason, c.reason);
    EXPECT_EQ(records[0].moveMs.size(), records[0].moves.size());
    EXPECT_EQ(m_one.ReceivedText(), c.oneReceived);
    EXPECT_EQ(m_two.ReceivedText(), c.twoReceived);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, GameEndingTest,
    ::testing::Values(
        EndingCase{"Vertical", "1,1,1,1", "2,2,2", "1212121", "1-0", "player 1 has four in a line",
                   "1|2|2|2|-1|0", "2|1|1|1|1|-1|0"},
        EndingCase{"Horizontal", "1,1,7,7", "2,3,4,5", "12137475", "0-1",
                   "player 2 has four in a line", "1|2|3|4|5|-2|0", "2|1|1|7|7|-2|0"},
        EndingCase{"RisingDiagonal", "1,2,3,3,4,4", "2,3,4,4,7", "12233434474", "1-0",
                   "player 1 has four in a line", "1|2|3|4|4|7|-1|0", "2|1|2|3|3|4|4|-1|0"},
        EndingCase{"FallingDiagonal", "6,4,7,4,1,5", "7,6,5,4,4,5", "674675441455", "0-1",
                   "player 2 has four in a line", "1|7|6|5|4|4|5|-2|0", "2|6|4|7|4|1|5|-2|0"},
        EndingCase{"FullBoard", EveryOther(kTieMoves, 0), EveryOther(kTieMoves, 1), kTieMoves,
                   "1/2-1/2", "the board is full", Transcript("1", kTieMoves, 1, "-3|0"),
                   Transcript("2", kTieMoves, 0, "-3|0")},
        // An illegal move is relayed as it was written, then "0" goes to both, once.
        EndingCase{"IllegalColumn", "8", "", "", "0-1", "player 1 made an illegal move: 8", "1|0",
                   "2|8|0"},
        EndingCase{"FullColumn", "1,1,1,1", "1,1,1", "111111", "0-1",
                   "player 1 made an illegal move: 1 (column 1 is full)", "1|1|1|1|0",
                   "2|1|1|1|1|0"},
        EndingCase{"ReadyLineAsMove", "4", "p", "4", "1-0", "player 2 made an illegal move: p",
                   "1|p|0", "2|4|0"},
        EndingCase{"EmptyLine", "@raw=\\n,@wait", "", "", "0-1",
                   "player 1 made an illegal move: (empty line)", "1|0", "2||0"},
        EndingCase{"LeadingBlank", "@raw= 4\\n,@wait", "", "", "0-1",
                   "player 1 made an illegal move: \\x20", "1|0", "2| |0"}),
    [](const ::testing::TestParamInfo<EndingCase>& param) { return param.param.name; });

struct MoveFormCase {
    const char* name;
    // Player 1's first move, written some way that must read as column 4; its later moves are 4s.
    std::string firstMove;
};

// Names the case in gtest's messages instead of dumping its bytes.
void PrintTo(const MoveFormCase& c, std::ostream* os) {
    *os << c.name;
}

class MoveFormTest : public MatchRefereeTest, public ::testing::WithParamInterface<MoveFormCase> {};

TEST_P(MoveFormTest, ReadsTheFirstCharacterOfTheFirstLineThatIsNoNote) {
    m_one.Games({GetParam().firstMove + ",4,4,4"});
    m_two.Games({"1,1,1"});
    const std::vector<GameRecord> records = Play(m_one, m_two);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].moves, "4141414");
    EXPECT_EQ(records[0].reason, "player 1 has four in a line");
    // Only the move's one character is relayed; notes and extra lines never reach the opponent.
    EXPECT_EQ(m_two.ReceivedText(), "2|4|4|4|4|-1|0");
}

INSTANTIATE_TEST_SUITE_P(
    Forms, MoveFormTest,
    ::testing::Values(MoveFormCase{"Plain", "4"}, MoveFormCase{"MoreCharacters", "47"},
                      MoveFormCase{"CarriageReturnLineFeed", "@raw=4\\r\\n,@wait"},
                      MoveFormCase{"NotesFirst", "?thinking,?7,4"},
                      MoveFormCase{"SeveralLinesInOneWrite", "@raw=?7\\n4\\n6\\n,@wait"},
                      MoveFormCase{"LineInTwoWrites", "@raw=4,@sleep=50,@raw=\\n,@wait"},
                      MoveFormCase{"WithinTheTimeLimit", "@sleep=200,4"}),
    [](const ::testing::TestParamInfo<MoveFormCase>& param) { return param.param.name; });

TEST_F(MatchRefereeTest, MeasuresEachMoveFromTheLineThatGaveTheTurn) {
    m_one.Games({"@sleep=300,4,4,4,4"});
    m_two.Games({"1,@sleep=150,1,1"});
    const std::vector<GameRecord> records = Play(m_one, m_two);
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].moveMs.size(), 7u);
    EXPECT_GE(records[0].moveMs[0], 295);
    EXPECT_LT(records[0].moveMs[0], 3000);
    EXPECT_GE(records[0].moveMs[3], 145);
    EXPECT_LT(records[0].moveMs[3], 3000);
    EXPECT_LT(records[0].moveMs[1], 145);
}

TEST_F(MatchRefereeTest, AlternatesTheFirstMover) {
    m_one.Games({"1,1,1,1", "2,2,2"});
    m_two.Games({"2,2,2", "1,1,1,1"});
    const std::vector<GameRecord> records = Play(m_one, m_two, 3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].firstMover, 1);
    EXPECT_EQ(records[1].firstMover, 2);
    EXPECT_EQ(records[2].firstMover, 1);
    EXPECT_EQ(records[1].ResultText(), "0-1");
    EXPECT_EQ(m_one.ReceivedText(), "1|2|2|2|-1|0|2|1|1|1|1|-2|0|1|2|2|2|-1|0");
    EXPECT_EQ(m_two.ReceivedText(), "2|1|1|1|1|-1|0|1|2|2|2|-2|0|2|1|1|1|1|-1|0");
}

TEST_F(MatchRefereeTest, MoveTimeoutLosesAndALateMoveDoesNotSpoilTheNextGame) {
    m_settings.moveTime = 500ms;
    // Game 1: player 1 answers after 900 ms, long after the "0" that ended the game.
    m_one.Games({"@sleep=900,4", "2,2,2"});
    m_two.Games({"", "1,1,1,1"});
    const std::vector<GameRecord> records = Play(m_one, m_two, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].ResultText(), "0-1");
    EXPECT_EQ(records[0].reason, "player 1 did not move within 500 ms");
    EXPECT_EQ(records[0].moves, "");
    EXPECT_EQ(records[1].reason, "player 2 has four in a line");
    EXPECT_EQ(records[1].moves, "1212121");
    EXPECT_EQ(m_two.ReceivedText(), "2|0|1|2|2|2|-2|0");
}

TEST_F(MatchRefereeTest, MoveTimeLimitHoldsWhileTheOpponentWritesWithoutPause) {
    m_settings.moveTime = 500ms;
    m_one.Games({"@wait", "2,2,2"});
    m_two.Games({"", "1,1,1,1"}).Options({"--chatter", "1"});
    const std::vector<GameRecord> records = Play(m_one, m_two, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].reason, "player 1 did not move within 500 ms");
    // The notes count neither as readiness nor as moves.
    EXPECT_EQ(records[1].reason, "player 2 has four in a line");
    EXPECT_EQ(records[1].moves, "1212121");
}

TEST_F(MatchRefereeTest, BotThatEndsLosesAndIsStartedAgainForTheNextGame) {
    m_one.Games({"4,4,4", "2,2,2"});
    m_two.Games({"2,@exit", "1,1,1,1"});
    const std::vector<GameRecord> records = Play(m_one, m_two, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].moves, "424");
    EXPECT_EQ(records[0].ResultText(), "1-0");
    EXPECT_EQ(records[0].reason, "player 2 ended");
    EXPECT_TRUE(records[0].restarted.empty());
    EXPECT_EQ(records[1].restarted, std::vector<int>{2});
    EXPECT_EQ(records[1].reason, "player 2 has four in a line");
    EXPECT_EQ(m_restarts, std::vector<std::string>{"2@2"});
    // The new copy played on with the second game's script.
    EXPECT_EQ(m_two.ReceivedText(), "2|4|4|1|2|2|2|-2|0");
    EXPECT_EQ(m_two.Pids().size(), 2u);
}

TEST_F(MatchRefereeTest, OpponentThatEndsLosesWithoutWaitingForTheMover) {
    // Player 2 moves and ends while player 1 thinks for longer than the time limit: the end is
    // seen first, so player 2 loses and player 1 is not charged with a timeout.
    m_settings.moveTime = 2s;
    m_one.Games({"4,@sleep=3000,4"});
    m_two.Games({"@raw=2\\n,@sleep=50,@exit"});
    const std::vector<GameRecord> records = Play(m_one, m_two);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].moves, "42");
    EXPECT_EQ(records[0].reason, "player 2 ended");
    EXPECT_EQ(records[0].ResultText(), "1-0");
}

TEST_F(MatchRefereeTest, BotWhoseHelperKeepsItsOutputOpenStillEndsAndTheHelperGoes) {
    // The bot's own child holds the output pipe, so the channel closes without "Player Quit".
    m_one.Games({"4,@exit", "2,2,2"});
    m_one.Options({"--grandchild"});
    m_two.Games({"1", "1,1,1,1"});
    const std::vector<GameRecord> records = Play(m_one, m_two, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].reason, "player 1 ended");
    EXPECT_EQ(records[1].restarted, std::vector<int>{1});
    EXPECT_EQ(records[1].reason, "player 2 has four in a line");
    ASSERT_EQ(m_one.Grandchildren().size(), 2u);
    for (const pid_t pid : m_one.Grandchildren()) {
        EXPECT_FALSE(ProcessInspection::IsAlive(pid)) << pid;
    }
}

TEST_F(MatchRefereeTest, BotPrintingThePlayerQuitTextHasNotEnded) {
    m_one.Games({"@raw=\\r\\nPlayer Quit\\r\\n,@wait"});
    const std::vector<GameRecord> records = Play(m_one, m_two);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].reason, "player 1 made an illegal move: (empty line)");
    EXPECT_EQ(m_one.Pids().size(), 1u);
}

TEST_F(MatchRefereeTest, BotThatNeverWritesReadyLosesEveryGame) {
    m_settings.startTime = 1s;
    m_one.Games({"4"});
    m_two.Options({"--never-ready"});
    const std::vector<GameRecord> records = Play(m_one, m_two, 2);
    ASSERT_EQ(records.size(), 2u);
    for (const GameRecord& record : records) {
        EXPECT_EQ(record.ResultText(), "1-0");
        EXPECT_EQ(record.reason, "player 2 was not ready within 1 s");
        EXPECT_EQ(record.moves, "");
    }
    // No game started: each bot got only the "0" that ends each game.
    EXPECT_EQ(m_one.ReceivedText(), "0|0");
    EXPECT_EQ(m_two.ReceivedText(), "0|0");
}

TEST_F(MatchRefereeTest, GameIsDrawnWhenNeitherBotGetsReady) {
    m_settings.startTime = 1s;
    m_one.Options({"--never-ready"});
    m_two.Options({"--never-ready"});
    const std::vector<GameRecord> records = Play(m_one, m_two);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].ResultText(), "1/2-1/2");
    EXPECT_EQ(records[0].reason,
              "player 1 was not ready within 1 s; player 2 was not ready within 1 s");
}

TEST_F(MatchRefereeTest, BotThatCannotBeStartedIsReported) {
    m_settings.commands = {m_one.CommandLine(), "/nonexistent/fourfall-bot"};
    MatchReferee referee(m_settings);
    errno = 0;
    EXPECT_EQ(referee.StartBots(), 2);
    EXPECT_EQ(errno, ENOENT);
    const pid_t one = referee.BotPids()[0];
    EXPECT_GT(one, 0);
    referee.EndBots();
    EXPECT_FALSE(ProcessInspection::IsAlive(one));
}

TEST_F(MatchRefereeTest, EndBotsKillsBotsThatOutliveTheGracePeriod) {
    m_settings.grace = 300ms;
    m_settings.moveTime = 500ms;
    // Player 1 is still asleep in its turn at the end; player 2 ignores the end of its input and
    // leaves a child of its own behind.
    m_one.Games({"@sleep=60000"});
    m_two.Options({"--ignore-eof", "--grandchild"});
    const auto started = std::chrono::steady_clock::now();
    const std::vector<GameRecord> records = Play(m_one, m_two);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].reason, "player 1 did not move within 500 ms");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    std::vector<pid_t> pids = m_one.Pids();
    for (const pid_t pid : m_two.Pids()) {
        pids.push_back(pid);
    }
    for (const pid_t pid : m_two.Grandchildren()) {
        pids.push_back(pid);
    }
    ASSERT_EQ(pids.size(), 3u);
    for (const pid_t pid : pids) {
        EXPECT_FALSE(ProcessInspection::IsAlive(pid)) << pid;
    }
}

TEST_F(MatchRefereeTest, InterruptStopsTheMatchAndDropsTheGameUnderWay) {
    m_one.Games({"@wait"});
    m_settings.commands = {m_one.CommandLine(), m_two.CommandLine()};
    m_settings.games = 5;
    MatchReferee referee(m_settings);
    ASSERT_EQ(referee.StartBots(), 0);
    std::thread interrupter([&referee] {
        std::this_thread::sleep_for(300ms);
        referee.Interrupt(15);
    });
    const auto started = std::chrono::steady_clock::now();
    const std::vector<GameRecord> records = referee.Play({});
    interrupter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(referee.InterruptSignal(), 15);
    const std::array<pid_t, 2> pids = referee.BotPids();
    referee.EndBots();
    EXPECT_FALSE(ProcessInspection::IsAlive(pids[0]));
    EXPECT_FALSE(ProcessInspection::IsAlive(pids[1]));
}

}  // namespace
