// The moderator's game with no window at all: the turn controller on a window thread of the
// test's, its view recorded, its panes the toolkit-free test panes, its bots real processes.

#include "moderator/turn_controller.h"

#include "res/resource_ids.h"
#include "tests/channel/task_thread.h"
#include "tests/channel/test_pane.h"
#include "tests/testbots/puppet_bot.h"
#include "tests/testbots/wait_until.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <optional>
#include <sstream>
#include <string>

namespace {

using namespace std::chrono_literals;

class RecordingView : public IModeratorView {
public:
    explicit RecordingView(TaskThread& window) : panes{TestPane(window), TestPane(window)} {}

    void TakeFields() override { ++takes; }
    std::string CommandLine(int player) const override { return commandLines[player - 1]; }
    void InsertStatus(const std::string& text) override { status += text; }
    void SetOutputText(int player, const char* text) override { panes[player - 1].SetText(text); }
    ITextPane* OutputPane(int player) override { return &panes[player - 1]; }
    void ShowCell(int column, int row, unsigned bitmapId) override {
        cells[column][row] = bitmapId;
    }
    void ShowBanner(unsigned bitmapId) override { banner = bitmapId; }

    std::array<std::string, 2> commandLines;
    std::array<TestPane, 2> panes;
    std::string status;
    std::array<std::array<unsigned, Board::kRows + 1>, Board::kColumns + 1> cells{};
    unsigned banner = 0;
    int takes = 0;
};

// Player 1 fills column 4 while player 2 plays column 1: four in a line at player 1's fourth
// disc, announced to both, in the transcript, on the banner, and again at the next press; the log
// holds every move; Reset clears the board and the next game starts with player 2.
TEST(TurnControllerTest, RefereesAWholeGameWithoutAWindow) {
    TaskThread window;
    RecordingView view(window);
    PuppetBot bots[2];
    std::optional<CPanePlayerChannel> channels[2];
    std::ostringstream log;
    std::optional<TurnController> controller;
    view.commandLines = {bots[0].CommandLine(), bots[1].CommandLine()};
    window.Invoke([&] {
        channels[0].emplace();
        channels[1].emplace();
        controller.emplace(view, *channels[0], *channels[1], log);
        controller->ResetGame();
        controller->Start();
        controller->OnLoadPlayers();
    });
    // A bot writes `bytes`; the press comes once its channel has stored them.
    const auto say = [&](int player, const std::string& bytes) {
        CPanePlayerChannel& channel = *channels[player - 1];
        const std::uint64_t before = channel.SnapshotOutput().serial;
        bots[player - 1].Say(bytes);
        ASSERT_TRUE(WaitUntil([&] { return channel.SnapshotOutput().serial > before; }, 5000ms));
    };
    const auto go = [&] { window.Invoke([&] { controller->OnGo(); }); };

    say(1, "p\r\n");
    say(2, "p\r\n");
    go();
    EXPECT_EQ(controller->Turn(), 1);
    for (const char* move : {"4", "1", "4", "1", "4", "1", "4"}) {
        say(controller->Turn(), std::string(move) + "\r\n");
        go();
    }
    go();
    EXPECT_EQ(view.status,
              "Player info sent\r\nPlayer 1 :4\r\nPlayer 2 :1\r\nPlayer 1 :4\r\nPlayer 2 :1\r\n"
              "Player 1 :4\r\nPlayer 2 :1\r\nPlayer 1 :4\r\nPlayer 1 Wins\r\nPlayer 1 Wins\r\n");
    EXPECT_EQ(view.banner, IDB_PLAYER1_WINS);
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(view.cells[4][row], IDB_PLAYER1_DISC) << row;
    }
    EXPECT_EQ(view.cells[1][3], IDB_PLAYER2_DISC);
    EXPECT_EQ(view.cells[1][4], IDB_EMPTY_HOLE);
    EXPECT_TRUE(bots[0].WaitReceived("1\r\n1\r\n1\r\n1\r\n-1\r\n-1\r\n", 5000ms));
    EXPECT_TRUE(bots[1].WaitReceived("2\r\n4\r\n4\r\n4\r\n4\r\n-1\r\n-1\r\n", 5000ms));
    EXPECT_EQ(log.str(), "\r\n4141414");

    window.Invoke([&] { controller->OnReset(); });
    EXPECT_EQ(view.banner, IDB_BLANK_BANNER);
    EXPECT_EQ(view.cells[4][1], IDB_EMPTY_HOLE);
    say(1, "p\r\n");
    say(2, "p\r\n");
    go();
    EXPECT_EQ(controller->Turn(), 2) << "the first mover alternates";
    EXPECT_GT(view.takes, 0);

    window.Invoke([&] {
        controller.reset();
        channels[0].reset();
        channels[1].reset();
    });
}

}  // namespace
