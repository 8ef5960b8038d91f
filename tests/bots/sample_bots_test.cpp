// The protocol as each sample bot speaks it, checked on the real programs: the two C++ bots and
// the Python example. Every test ends by closing the bot's input and requiring that nothing more
// was written and that the bot exited with status 0; since a bot handles its lines in order, any
// stray output (a move after a result, a second "p") shows up before the line a test expects next.

#include "sample_bots.h"
#include "child_process.h"
#include "grid_board.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Generous: the sanitizer builds are slow to start; a read returns as soon as the bot answers.
constexpr auto kAnswerTimeout = 10s;

struct BotProgram {
    std::string name;
    std::vector<std::string> argv;
};

// Names the parameter in test output, instead of a dump of its bytes.
void PrintTo(const BotProgram& program, std::ostream* out) {
    *out << program.name;
}

std::vector<BotProgram> Programs() {
    std::vector<BotProgram> programs = {
        {"RandomBot", sample_bots::Random({"--seed", "5"})},
        {"StrongBot", sample_bots::Strong({"--time-ms", "20"})},
    };
    if (const std::vector<std::string> example = sample_bots::Example(); !example.empty()) {
        programs.push_back({"ExampleBot", example});
    }
    return programs;
}

class SampleBotTest : public ::testing::TestWithParam<BotProgram> {
protected:
    // Starts the bot under test, with `extra` after its usual arguments.
    void Start(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> argv = GetParam().argv;
        argv.insert(argv.end(), extra.begin(), extra.end());
        m_bot = std::make_unique<ChildProcess>(argv);
        ASSERT_TRUE(m_bot->Started());
    }

    void Send(std::string_view bytes) { ASSERT_TRUE(m_bot->Write(bytes)); }

    void ExpectLine(std::string_view expected) {
        const std::optional<std::string> line = m_bot->ReadLine(kAnswerTimeout);
        ASSERT_TRUE(line.has_value()) << "no line; expected \"" << expected << "\"";
        EXPECT_EQ(*line, expected);
    }

    // Reads the bot's move, checks that it is one free column of `board` and plays it there.
    int ExpectMove(GridBoard& board) {
        const std::optional<std::string> line = m_bot->ReadLine(kAnswerTimeout);
        EXPECT_TRUE(line.has_value()) << "no move";
        if (!line || line->size() != 1 || !board.CanPlay((*line)[0] - '0')) {
            ADD_FAILURE() << "not a legal move: \"" << line.value_or("") << "\"\n" << board.Rows();
            return 0;
        }
        const int column = (*line)[0] - '0';
        board.Play(column);
        return column;
    }

    // The bot's input ends: it must write nothing more and exit with status 0.
    void ExpectQuietEnd() {
        m_bot->CloseInput();
        const std::optional<std::string> rest = m_bot->ReadToEnd(kAnswerTimeout);
        ASSERT_TRUE(rest.has_value()) << "the bot did not close its output";
        EXPECT_EQ(*rest, "");
        EXPECT_EQ(m_bot->Wait(kAnswerTimeout), std::optional<int>(0));
    }

    std::unique_ptr<ChildProcess> m_bot;
};

TEST_P(SampleBotTest, AnnouncesReadyAndExitsQuietlyAtEndOfInput) {
    Start();
    ExpectLine(sample_bots::kReady);
    ExpectQuietEnd();
}

// A whole game against random moves, refereed here: every answer legal, the win announced twice
// (as at two presses of Go), then Reset's "0" answered with "p"; then a second game with the
// other first mover.
TEST_P(SampleBotTest, PlaysWholeGamesFirstAndSecondAndGetsReadyAgain) {
    Start();
    ExpectLine(sample_bots::kReady);
    std::mt19937 random(3);
    for (const bool botFirst : {true, false}) {
        SCOPED_TRACE(botFirst ? "bot moves first" : "bot moves second");
        GridBoard board;
        Send(botFirst ? "1\r\n" : "2\r\n");
        const int botPlayer = botFirst ? 1 : 2;
        int winner = 0;
        while (winner == 0 && !board.Full()) {
            const int mover = board.PlayerToMove();
            if (mover == botPlayer) {
                if (ExpectMove(board) == 0) {
                    return;
                }
            } else {
                std::uniform_int_distribution<int> pick(1, 7);
                int column = pick(random);
                while (!board.CanPlay(column)) {
                    column = pick(random);
                }
                board.Play(column);
                Send(std::to_string(column) + "\r\n");
                if (!board.HasFour(mover) && !board.Full()) {
                    continue;
                }
                // The bot answers a relayed move before it reads the result after it.
                if (!board.Full() && ExpectMove(board) == 0) {
                    return;
                }
            }
            winner = board.HasFour(mover) ? mover : 0;
        }
        const std::string result = winner == 0 ? "-3" : "-" + std::to_string(winner);
        Send(result + "\r\n");
        Send(result + "\r\n");
        Send("0\r\n");
        ExpectLine(sample_bots::kReady);
    }
    ExpectQuietEnd();
}

TEST_P(SampleBotTest, GoesOnPlayingWhenAMoveFollowsAResult) {
    Start();
    ExpectLine(sample_bots::kReady);
    GridBoard board;
    Send("2\r\n");
    board.Play(4);
    Send("4\r\n");
    ExpectMove(board);
    Send("-2\r\n-2\r\n");
    board.Play(3);
    Send("3\r\n");
    ExpectMove(board);
    Send("-2\r\n");
    Send("0\r\n");
    ExpectLine(sample_bots::kReady);
    ExpectQuietEnd();
}

TEST_P(SampleBotTest, IgnoresIllegalRelayedMovesUntilTheZero) {
    Start();
    ExpectLine(sample_bots::kReady);
    // The opponent's illegal "9", an empty move (a chunk that began with a zero byte) and a bot
    // that quit (a lone carriage return), each relayed as it was and followed by the "0".
    for (const std::string_view illegal : {"9\r\n", "\r\n", "\r\r\n", "p\r\n"}) {
        GridBoard board;
        Send("2\r\n");
        board.Play(4);
        Send("4\r\n");
        ExpectMove(board);
        Send(illegal);
        Send("0\r\n");
        ExpectLine(sample_bots::kReady);
    }
    GridBoard board;
    Send("1\r\n");
    ExpectMove(board);
    ExpectQuietEnd();
}

TEST_P(SampleBotTest, AnswersEveryZeroWithReady) {
    Start();
    ExpectLine(sample_bots::kReady);
    Send("0\r\n");
    ExpectLine(sample_bots::kReady);
    Send("0\r\n0\r\n");
    ExpectLine(sample_bots::kReady);
    ExpectLine(sample_bots::kReady);
    GridBoard board;
    Send("1\r\n");
    ExpectMove(board);
    Send("0\r\n");
    ExpectLine(sample_bots::kReady);
    ExpectQuietEnd();
}

TEST_P(SampleBotTest, ReadsLinesHoweverTheBytesArrive) {
    Start();
    ExpectLine(sample_bots::kReady);
    GridBoard board;
    Send("2\r");
    std::this_thread::sleep_for(20ms);
    Send("\n4");
    std::this_thread::sleep_for(20ms);
    board.Play(4);
    Send("\r\n");
    ExpectMove(board);
    Send("-1\r\n-1\r\n0\r\n2\r\n");
    Send("0\r\n");
    ExpectLine(sample_bots::kReady);
    ExpectLine(sample_bots::kReady);
    ExpectQuietEnd();
}

TEST_P(SampleBotTest, WritesEachMoveAsOneChunk) {
    Start();
    ExpectLine(sample_bots::kReady);
    Send("1\r\n");
    const std::optional<std::string> first = m_bot->ReadChunk(kAnswerTimeout);
    ASSERT_TRUE(first.has_value());
    ASSERT_EQ(first->size(), 2u) << "\"" << *first << "\"";
    EXPECT_GE((*first)[0], '1');
    EXPECT_LE((*first)[0], '7');
    EXPECT_EQ((*first)[1], '\n');
    ExpectQuietEnd();
}

// The moderator looks at a bot's output every 100 ms, takes what has arrived as one chunk, and
// ignores a chunk that begins with "?": a note must be read before the move is written.
TEST_P(SampleBotTest, VerboseNoteArrivesInAnEarlierChunkThanTheMove) {
    Start({"--verbose"});
    ExpectLine(sample_bots::kReady);
    Send("1\r\n");
    std::vector<std::string> chunks;
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
        std::string chunk;
        while (const std::optional<std::string> part = m_bot->ReadChunk(0ms)) {
            if (part->empty()) {
                break;
            }
            chunk += *part;
        }
        if (chunk.empty()) {
            continue;
        }
        chunks.push_back(chunk);
        if (chunk.find_first_of("1234567") != std::string::npos && chunk.back() == '\n' &&
            chunk[0] != '?') {
            break;
        }
    }
    ASSERT_GE(chunks.size(), 2u);
    EXPECT_EQ(chunks.front()[0], '?');
    const std::string& move = chunks.back();
    ASSERT_EQ(move.size(), 2u) << "\"" << move << "\"";
    EXPECT_TRUE(move[0] >= '1' && move[0] <= '7') << move;
    ExpectQuietEnd();
}

INSTANTIATE_TEST_SUITE_P(Bots, SampleBotTest, ::testing::ValuesIn(Programs()),
                         [](const ::testing::TestParamInfo<BotProgram>& paramInfo) {
                             return paramInfo.param.name;
                         });

}  // namespace
