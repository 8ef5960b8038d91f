// The game side of the moderator window, driven as a person drives it: real buttons, real bot
// processes (puppet bots the test makes write), and checks of what each bot received, the panes,
// the board, the banner and the bytes of the move log.

#include "ui/moderator_dlg.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest/QTest>

#include <algorithm>

#include <chrono>
#include <string>

#include "res/resource_ids.h"
#include "tests/support/dialog_session.h"
#include "tests/testbots/puppet_bot.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 5s;

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Two loaded puppet bots in a real moderator window.
class ModeratorDlgTest : public ::testing::Test {
protected:
    // Types both command lines and clicks Load Players.
    void Load() {
        DialogSession::Type(dlg, IDC_PATH1, bot1.CommandLine());
        DialogSession::Type(dlg, IDC_PATH2, bot2.CommandLine());
        DialogSession::Click(dlg, IDC_LOAD_PLAYERS);
    }

    PuppetBot& Bot(int player) { return player == 1 ? bot1 : bot2; }

    // Makes `player`'s bot write `bytes` in one write and waits until its channel has stored it.
    void Output(int player, const std::string& bytes) {
        CPanePlayerChannel& channel = dlg.Player(player);
        const std::uint64_t before = channel.SnapshotOutput().serial;
        Bot(player).Say(bytes);
        ASSERT_TRUE(
            DialogSession::WaitFor([&] { return channel.SnapshotOutput().serial > before; }, kWait))
            << "player " << player << " output " << bytes;
    }

    void Go() { DialogSession::Click(dlg, IDC_GO); }

    // Both bots say they are ready and Go starts the game.
    void Start() {
        Output(1, "p\r\n");
        Output(2, "p\r\n");
        Go();
    }

    // The player to move writes `column` with a line end and Go relays it.
    void Move(char column) {
        const int player = dlg.Turn();
        ASSERT_NE(player, 0);
        Output(player, std::string(1, column) + "\r\n");
        Go();
    }

    void Moves(const std::string& columns) {
        for (const char column : columns) {
            Move(column);
        }
    }

    // Waits until bot `player` has received exactly `bytes`.
    ::testing::AssertionResult Received(int player, const std::string& bytes) {
        if (Bot(player).WaitReceived(bytes, kWait)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "player " << player << " received \"" << Bot(player).Received()
               << "\", expected \"" << bytes << "\"";
    }

    // Waits until what bot `player` has received ends with `bytes`.
    ::testing::AssertionResult ReceivedEndsWith(int player, const std::string& bytes) {
        const bool ok =
            DialogSession::WaitFor([&] { return EndsWith(Bot(player).Received(), bytes); });
        if (ok) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "player " << player << " received \"" << Bot(player).Received() << "\"";
    }

    std::string Status() { return DialogSession::Text(dlg, IDC_STATUS); }
    bool BannerShows(unsigned id) {
        return dlg.Banner().ResourceId() == static_cast<int>(id) &&
               dlg.Banner().Widget()->isVisible() == (id != IDB_BLANK_BANNER);
    }

    void Run(const std::function<void()>& steps) { DialogSession::Run(dlg, steps); }

    DialogSession session;
    PuppetBot bot1;
    PuppetBot bot2;
    CModeratorDlg dlg;
};

TEST_F(ModeratorDlgTest, StartHandshakeWaitsForBothPlayersAndAlternatesFirstMover) {
    Run([&] {
        Load();
        Output(1, "p\r\n");
        Go();
        EXPECT_EQ(dlg.Turn(), 0) << "only player 1 is ready";
        EXPECT_EQ(Status(), "");

        Output(2, "p\r\n");
        Go();
        EXPECT_EQ(dlg.Turn(), 1);
        EXPECT_EQ(Status(), "Player info sent\n");
        EXPECT_TRUE(Received(1, "1\r\n"));
        EXPECT_TRUE(Received(2, "2\r\n"));

        // Two resets in a row do not change who moves first next: only a handshake swaps it.
        DialogSession::Click(dlg, IDC_RESET);
        DialogSession::Click(dlg, IDC_RESET);
        EXPECT_EQ(dlg.Turn(), 0);
        EXPECT_TRUE(Received(1, "1\r\n0\r\n0\r\n"));
        EXPECT_TRUE(Received(2, "2\r\n0\r\n0\r\n"));

        // The old "p" of each bot still counts, however long ago it was written.
        Go();
        EXPECT_EQ(dlg.Turn(), 2);
        EXPECT_TRUE(Received(1, "1\r\n0\r\n0\r\n2\r\n"));
        EXPECT_TRUE(Received(2, "2\r\n0\r\n0\r\n1\r\n"));
        EXPECT_EQ(Status(), "Player info sent\nPlayer info sent\n");
    });
}

TEST_F(ModeratorDlgTest, BotsThatMovedAreNotReadyAfterResetUntilTheyWriteP) {
    Run([&] {
        Load();
        Start();
        Moves("4");
        DialogSession::Click(dlg, IDC_RESET);
        Go();
        EXPECT_EQ(dlg.Turn(), 0) << "player 1's last output is a digit";
        Output(1, "p\r\n");
        Go();
        EXPECT_EQ(dlg.Turn(), 2) << "player 2 moves first in the second game";
    });
}

TEST_F(ModeratorDlgTest, VerticalWinIsAnnouncedToBothAndAgainAtEveryPress) {
    Run([&] {
        Load();
        Start();
        Moves("4141414");

        EXPECT_TRUE(Received(1, "1\r\n1\r\n1\r\n1\r\n-1\r\n"));
        EXPECT_TRUE(Received(2, "2\r\n4\r\n4\r\n4\r\n4\r\n-1\r\n"));
        EXPECT_EQ(Status(),
                  "Player info sent\nPlayer 1 :4\nPlayer 2 :1\nPlayer 1 :4\nPlayer 2 :1\n"
                  "Player 1 :4\nPlayer 2 :1\nPlayer 1 :4\nPlayer 1 Wins\n");
        EXPECT_TRUE(BannerShows(IDB_PLAYER1_WINS));
        for (int row = 1; row <= 4; ++row) {
            EXPECT_EQ(dlg.GetBoard().At(4, row), 1);
            EXPECT_EQ(dlg.Cell(4, row).ResourceId(), static_cast<int>(IDB_PLAYER1_DISC));
        }
        EXPECT_EQ(dlg.Cell(1, 3).ResourceId(), static_cast<int>(IDB_PLAYER2_DISC));
        EXPECT_EQ(dlg.Cell(1, 4).ResourceId(), static_cast<int>(IDB_EMPTY_HOLE));
        EXPECT_EQ(dlg.GetBoard().Height(4), 5);
        EXPECT_EQ(dlg.GetBoard().Height(1), 4);
        EXPECT_EQ(dlg.Turn(), 2) << "a result does not change the turn";

        // A press with no new output announces the position again.
        Go();
        EXPECT_TRUE(Received(1, "1\r\n1\r\n1\r\n1\r\n-1\r\n-1\r\n"));
        EXPECT_TRUE(Received(2, "2\r\n4\r\n4\r\n4\r\n4\r\n-1\r\n-1\r\n"));
        EXPECT_TRUE(EndsWith(Status(), "Player 1 Wins\nPlayer 1 Wins\n")) << Status();
    });
    EXPECT_EQ(session.LogBytes(), "\r\n4141414");
}

TEST_F(ModeratorDlgTest, FiveInARowOfPlayer2IsAnnouncedTwice) {
    Run([&] {
        Load();
        Start();
        // Player 2 fills row 1 from column 2 to 5, then a fifth disc in column 6 after player 1
        // has blocked nothing: the first four is already a win, announced at that press.
        Moves("12137475");
        EXPECT_TRUE(BannerShows(IDB_PLAYER2_WINS));
        EXPECT_TRUE(Received(1, "1\r\n2\r\n3\r\n4\r\n5\r\n-2\r\n"));
        Moves("76");
        // Row 1 now holds 2,3,4,5,6 of player 2: two announcements at each press.
        EXPECT_TRUE(Received(1, "1\r\n2\r\n3\r\n4\r\n5\r\n-2\r\n-2\r\n6\r\n-2\r\n-2\r\n"));
        const std::string status = Status();
        EXPECT_TRUE(EndsWith(status, "Player 2 :6\nPlayer 2 Wins\nPlayer 2 Wins\n")) << status;
    });
}

TEST_F(ModeratorDlgTest, FullBoardWithoutFourIsATie) {
    Run([&] {
        Load();
        Start();
        Moves("455714637617614767242476316455122212535333");
        EXPECT_TRUE(dlg.GetBoard().IsFull());
        EXPECT_TRUE(BannerShows(IDB_TIE));
        const std::string status = Status();
        EXPECT_TRUE(EndsWith(status, "Player 2 :3\nTIE\n")) << status;
        EXPECT_TRUE(ReceivedEndsWith(1, "3\r\n-3\r\n"));
    });
    EXPECT_EQ(session.LogBytes(), "\r\n455714637617614767242476316455122212535333");
}

// Whether `id`'s pane shows the end of its text, by its scroll bar and by what it draws: the
// bar at the end of a range that fits the text, and ink on the line above the caret's (empty)
// last line, once held repaints are over.
::testing::AssertionResult ShowsItsEnd(CDialog& dlg, int id) {
    auto* pane = static_cast<QPlainTextEdit*>(DialogSession::Control(dlg, id));
    QTest::qWait(100);
    const QScrollBar* bar = pane->verticalScrollBar();
    const int lines = pane->document()->blockCount();
    if (bar->maximum() != std::max(0, lines - bar->pageStep()) || bar->value() != bar->maximum()) {
        return ::testing::AssertionFailure() << "scroll bar at " << bar->value() << " of 0.."
                                             << bar->maximum() << " for " << lines << " lines";
    }
    const QRect line = pane->cursorRect(QTextCursor(pane->document()->lastBlock().previous()));
    const QImage drawn = pane->viewport()->grab().toImage();
    if (line.top() < 0 || line.bottom() >= drawn.height()) {
        return ::testing::AssertionFailure() << "the last line is out of view at y " << line.y();
    }
    const QRgb background = drawn.pixel(drawn.width() - 1, line.center().y());
    for (int y = line.top(); y <= line.bottom(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            if (drawn.pixel(x, y) != background) {
                return ::testing::AssertionSuccess();
            }
        }
    }
    return ::testing::AssertionFailure() << "nothing is drawn on the last line";
}

// The transcript and the output panes keep their newest lines in sight: an insertion scrolls
// its end into view, and a view scrolled back stays until the next insertion.
TEST_F(ModeratorDlgTest, PanesScrollToTheirNewestLinesAfterEveryInsertion) {
    Run([&] {
        Load();
        Start();
        Moves("455714637617614767242476316455122212535333");
        ASSERT_TRUE(EndsWith(Status(), "Player 2 :3\nTIE\n"));
        EXPECT_TRUE(ShowsItsEnd(dlg, IDC_STATUS)) << "after a whole game";

        QScrollBar* bar = static_cast<QPlainTextEdit*>(DialogSession::Control(dlg, IDC_STATUS))
                              ->verticalScrollBar();
        bar->setValue(0);
        QTest::qWait(100);
        EXPECT_EQ(bar->value(), 0) << "a view scrolled back is kept";
        Go();  // the tie is announced again
        EXPECT_TRUE(ShowsItsEnd(dlg, IDC_STATUS)) << "after the next insertion";

        std::string chunk;
        for (int i = 0; i < 60; ++i) {
            chunk += "? thinking, line " + std::to_string(i) + "\r\n";
        }
        Output(1, chunk);
        ASSERT_TRUE(DialogSession::WaitFor(
            [&] { return EndsWith(DialogSession::Text(dlg, IDC_OUTPUT1), "line 59\n"); }));
        EXPECT_TRUE(ShowsItsEnd(dlg, IDC_OUTPUT1)) << "after a multi-line chunk";
    });
}

TEST_F(ModeratorDlgTest, WinningMoveThatFillsTheBoardAnnouncesWinThenTie) {
    Run([&] {
        Load();
        Start();
        Moves("165272351361452665774351431436261744573227");
        const std::string status = Status();
        EXPECT_TRUE(EndsWith(status, "Player 2 :7\nPlayer 2 Wins\nTIE\n")) << status;
        EXPECT_TRUE(BannerShows(IDB_TIE)) << "the tie is announced last";
        EXPECT_TRUE(ReceivedEndsWith(1, "7\r\n-2\r\n-3\r\n"));
    });
}

// An illegal move is relayed to the opponent, shown and the turn passed before it is rejected.
struct IllegalMove {
    const char* name;
    std::string output;   // what player 1 writes as its move
    std::string relayed;  // what player 2 then receives
    std::string status;   // the move's status line
    std::string logged;   // what the log gains
};

class IllegalMoveTest : public ModeratorDlgTest,
                        public ::testing::WithParamInterface<IllegalMove> {};

TEST_P(IllegalMoveTest, IsRelayedThenAnnouncedAsError) {
    const IllegalMove& m = GetParam();
    Run([&] {
        Load();
        Start();
        Output(1, m.output);
        Go();
        EXPECT_TRUE(Received(2, "2\r\n" + m.relayed + "0\r\n"));
        EXPECT_TRUE(Received(1, "1\r\n0\r\n"));
        EXPECT_EQ(Status(), "Player info sent\n" + m.status + "ERROR\n");
        EXPECT_TRUE(BannerShows(IDB_ERROR));
        EXPECT_EQ(dlg.Turn(), 2);
        EXPECT_EQ(dlg.GetBoard(), Board());
    });
    EXPECT_EQ(session.LogBytes(), "\r\n" + m.logged);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, IllegalMoveTest,
    ::testing::Values(IllegalMove{"Nine", "9\r\n", "9\r\n", "Player 1 :9\n", "9"},
                      IllegalMove{"Zero", "0\r\n", "0\r\n", "Player 1 :0\n", "0"},
                      IllegalMove{"Letter", "x\r\n", "x\r\n", "Player 1 :x\n", "0"},
                      IllegalMove{"CapitalP", "P\r\n", "P\r\n", "Player 1 :P\n", "0"},
                      IllegalMove{"LowerPInGame", "p\r\n", "p\r\n", "Player 1 :p\n", "0"},
                      IllegalMove{"LeadingSpace", " 4\r\n", " \r\n", "Player 1 : \n", "0"},
                      IllegalMove{"ChunkStartingWithNul",
                                  std::string("\0"
                                              "4\r\n",
                                              4),
                                  "\r\n", "Player 1 :\n", "0"}),
    [](const ::testing::TestParamInfo<IllegalMove>& p) { return p.param.name; });

TEST_F(ModeratorDlgTest, MoveIntoFullColumnIsAnError) {
    Run([&] {
        Load();
        Start();
        Moves("333333");
        EXPECT_EQ(dlg.GetBoard().Height(3), 7);
        EXPECT_EQ(dlg.Cell(3, 6).ResourceId(), static_cast<int>(IDB_PLAYER2_DISC));
        const Board before = dlg.GetBoard();
        Move('3');
        EXPECT_EQ(dlg.GetBoard(), before);
        EXPECT_TRUE(BannerShows(IDB_ERROR));
        EXPECT_EQ(dlg.Turn(), 2);
    });
    EXPECT_EQ(session.LogBytes(), "\r\n3333333");
}

TEST_F(ModeratorDlgTest, BotThatQuitsMovesALoneCarriageReturn) {
    Run([&] {
        Load();
        Start();
        const std::uint64_t before = dlg.Player(1).SnapshotOutput().serial;
        bot1.Exit(0);
        ASSERT_TRUE(DialogSession::WaitFor(
            [&] { return dlg.Player(1).SnapshotOutput().serial > before; }, kWait));
        EXPECT_EQ(dlg.Player(1).SnapshotOutput().text, "\r\nPlayer Quit\r\n");
        Go();
        EXPECT_TRUE(Received(2, "2\r\n\r\r\n0\r\n"));
        EXPECT_TRUE(BannerShows(IDB_ERROR));
    });
    EXPECT_EQ(session.LogBytes(), "\r\n0");
}

TEST_F(ModeratorDlgTest, QuestionMarkChunksAreDroppedInEveryState) {
    Run([&] {
        Load();
        Output(1, "p\r\n");
        Output(2, "?thinking\r\n");
        Go();
        EXPECT_EQ(dlg.Turn(), 0);
        EXPECT_EQ(dlg.Player(2).SnapshotOutput().hasOutput, 0);

        Output(2, "p\r\n");
        Go();
        ASSERT_EQ(dlg.Turn(), 1);
        Output(1, "?4\r\n");
        Go();
        EXPECT_EQ(dlg.Turn(), 1) << "a digit after ? never counts";
        EXPECT_EQ(dlg.Player(1).SnapshotOutput().hasOutput, 0);
        Move('4');
        EXPECT_TRUE(Received(2, "2\r\n4\r\n"));
        EXPECT_EQ(dlg.Turn(), 2);
    });
}

TEST_F(ModeratorDlgTest, OutputOfThePlayerNotToMoveStaysPending) {
    Run([&] {
        Load();
        Start();
        Output(2, "5\r\n");  // written before player 1's move arrived
        Go();
        EXPECT_EQ(dlg.Turn(), 1) << "player 1 has not moved";
        Move('4');
        Go();  // player 2's old chunk is its move
        EXPECT_TRUE(Received(1, "1\r\n5\r\n"));
        EXPECT_EQ(dlg.GetBoard().At(5, 1), 2);
        EXPECT_EQ(dlg.Turn(), 1);
    });
}

TEST_F(ModeratorDlgTest, MoveInTwoChunksLeavesTheLineEndAsTheMove) {
    Run([&] {
        Load();
        Start();
        Output(1, "4");
        Output(1, "\r\n");
        Go();
        EXPECT_TRUE(Received(2, "2\r\n\r\r\n0\r\n"));
        EXPECT_EQ(dlg.GetBoard(), Board());
    });
}

TEST_F(ModeratorDlgTest, ManualModeWithHumanSecond) {
    Run([&] {
        DialogSession::Click(dlg, IDC_MANUAL_MODE);
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT2), "MANUAL");
        DialogSession::Type(dlg, IDC_PATH1, bot1.CommandLine());
        DialogSession::Type(dlg, IDC_PATH2, bot2.CommandLine());
        DialogSession::Click(dlg, IDC_LOAD_PLAYERS);
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT2), "Loaded. Hit go to assign turns");
        EXPECT_EQ(bot2.WaitPid(300ms), -1) << "player 2's bot is not started in manual mode";

        Output(1, "p\r\n");
        Go();
        EXPECT_EQ(dlg.Turn(), 1);
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT2), "You're Second. Hit go.");

        // Drop Here does nothing while player 1 is to move.
        DialogSession::Click(dlg, IDC_DROP[2]);
        EXPECT_EQ(dlg.GetBoard(), Board());

        Move('4');
        DialogSession::Click(dlg, IDC_DROP[2]);  // column 3
        EXPECT_TRUE(Received(1, "1\r\n3\r\n"));
        EXPECT_EQ(Status(), "Player info sent\nPlayer 1 :4\nPlayer 2 :3\n");
        EXPECT_EQ(dlg.GetBoard().At(3, 1), 2);
        EXPECT_EQ(dlg.Cell(3, 1).ResourceId(), static_cast<int>(IDB_PLAYER2_DISC));
        EXPECT_EQ(dlg.Turn(), 1);
    });
    EXPECT_EQ(session.LogBytes(), "\r\n43");
}

TEST_F(ModeratorDlgTest, ManualModeWithHumanFirstAfterReset) {
    Run([&] {
        DialogSession::Click(dlg, IDC_MANUAL_MODE);
        DialogSession::Type(dlg, IDC_PATH1, bot1.CommandLine());
        DialogSession::Click(dlg, IDC_LOAD_PLAYERS);
        Output(1, "p\r\n");
        Go();  // the first game: player 1 first
        ASSERT_EQ(dlg.Turn(), 1);
        Move('4');
        DialogSession::Click(dlg, IDC_DROP[2]);  // the human's last output is now "3"

        DialogSession::Click(dlg, IDC_RESET);
        Output(1, "p\r\n");
        EXPECT_FALSE(dlg.ManualMode()) << "Reset ends manual mode";
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT2), "");
        Go();
        EXPECT_EQ(dlg.Turn(), 0) << "player 1 ready, but player 2's last output is no longer p";
        DialogSession::Click(dlg, IDC_DROP[3]);
        EXPECT_EQ(dlg.GetBoard(), Board());

        DialogSession::Click(dlg, IDC_MANUAL_MODE);
        Go();
        EXPECT_EQ(dlg.Turn(), 2);
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT2), "You're First. Choose a drop.");
        DialogSession::Click(dlg, IDC_DROP[3]);  // column 4
        EXPECT_TRUE(Received(1, "1\r\n3\r\n0\r\n2\r\n4\r\n"));
        EXPECT_EQ(dlg.GetBoard().At(4, 1), 2);
        EXPECT_EQ(dlg.Turn(), 1);
    });
}

TEST_F(ModeratorDlgTest, LoadPlayersIsIgnoredDuringAGame) {
    Run([&] {
        Load();
        Start();
        const pid_t pid = bot1.WaitPid(kWait);
        const std::string pane = DialogSession::Text(dlg, IDC_OUTPUT1);
        DialogSession::Click(dlg, IDC_LOAD_PLAYERS);
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT1), pane);
        EXPECT_EQ(bot1.WaitPid(kWait), pid);
        EXPECT_FALSE(bot1.WaitEof(200ms)) << "the running bot's input stays open";
    });
    EXPECT_EQ(session.LogBytes(), "\r\n");
}

TEST_F(ModeratorDlgTest, ResetDuringAGameClearsBoardPanesAndBanner) {
    Run([&] {
        Load();
        Start();
        Moves("4141414");
        ASSERT_TRUE(BannerShows(IDB_PLAYER1_WINS));
        DialogSession::Click(dlg, IDC_RESET);
        EXPECT_EQ(dlg.Turn(), 0);
        EXPECT_EQ(dlg.GetBoard(), Board());
        EXPECT_EQ(dlg.Cell(4, 1).ResourceId(), static_cast<int>(IDB_EMPTY_HOLE));
        EXPECT_TRUE(BannerShows(IDB_BLANK_BANNER));
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT1), "");
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT2), "");
        EXPECT_NE(Status(), "") << "the status pane keeps its transcript";
        EXPECT_TRUE(Received(2, "2\r\n4\r\n4\r\n4\r\n4\r\n-1\r\n0\r\n"));
    });
}

TEST_F(ModeratorDlgTest, BotThatCannotStartShowsWhyAndLogStillGetsItsLine) {
    Run([&] {
        DialogSession::Type(dlg, IDC_PATH1, "/nonexistent/bot");
        DialogSession::Type(dlg, IDC_PATH2, bot2.CommandLine());
        DialogSession::Click(dlg, IDC_LOAD_PLAYERS);
        EXPECT_EQ(DialogSession::Text(dlg, IDC_OUTPUT1), "\nError message: Couldn't load file\n");
        const auto out = dlg.Player(1).SnapshotOutput();
        EXPECT_EQ(out.text, "Couldn't load file\r\n");
        EXPECT_EQ(out.hasOutput, 1);
        Output(2, "p\r\n");
        Go();
        EXPECT_EQ(dlg.Turn(), 0) << "no game without player 1";
    });
    EXPECT_EQ(session.LogBytes(), "\r\n");
}

TEST_F(ModeratorDlgTest, EachLoadStartsANewLogLineAndOldPStillCounts) {
    Run([&] {
        Load();
        Start();
        Moves("12");
        DialogSession::Click(dlg, IDC_RESET);
        Output(1, "p\r\n");
        Output(2, "p\r\n");
        // New copies of the bots (puppets of their own: the old ones still read their input);
        // the old copies' "p" still counts.
        PuppetBot next1;
        PuppetBot next2;
        DialogSession::Type(dlg, IDC_PATH1, next1.CommandLine());
        DialogSession::Type(dlg, IDC_PATH2, next2.CommandLine());
        DialogSession::Click(dlg, IDC_LOAD_PLAYERS);
        EXPECT_TRUE(bot1.WaitEof(kWait)) << "the old bot's input is closed";
        Go();
        EXPECT_EQ(dlg.Turn(), 2);
        EXPECT_TRUE(next2.WaitReceived("1\r\n", kWait));
        const std::uint64_t before = dlg.Player(2).SnapshotOutput().serial;
        next2.Say("3\r\n");
        ASSERT_TRUE(DialogSession::WaitFor(
            [&] { return dlg.Player(2).SnapshotOutput().serial > before; }, kWait));
        Go();
        EXPECT_TRUE(next1.WaitReceived("2\r\n3\r\n", kWait));
    });
    EXPECT_EQ(session.LogBytes(), "\r\n12\r\n3");
}

}  // namespace
