#include "channel/pane_player_channel.h"

#include "tests/channel/task_thread.h"
#include "tests/channel/test_pane.h"
#include "tests/testbots/puppet_bot.h"
#include "tests/testbots/wait_until.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWait = 5000ms;
const std::string kPlayerQuit = "\r\nPlayer Quit\r\n";

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

// A pane on a window thread of the test's, and a channel owned (opened, closed, destroyed) by
// that window thread, as the moderator's dialog owns its two channels.
class PanePlayerChannelTest : public ::testing::Test {
protected:
    PanePlayerChannelTest() { m_channel.emplace(); }
    ~PanePlayerChannelTest() override {
        m_window.Invoke([this] { m_channel.reset(); });
        EXPECT_EQ(m_pane.RanOffWindowThread(), 0) << "a pane operation ran off the window thread";
    }

    CPanePlayerChannel& Channel() { return *m_channel; }
    int OpenOnWindow(const std::string& commandLine) {
        return m_window.Invoke([&] { return Channel().Open(commandLine.c_str()); });
    }
    bool WaitPane(const std::string& text) {
        return WaitUntil([&] { return m_pane.Text() == text; }, kWait);
    }
    bool WaitStores(std::uint64_t serial) {
        return WaitUntil([&] { return Channel().SnapshotOutput().serial >= serial; }, kWait);
    }
    bool WaitClosed() {
        return WaitUntil([&] { return Channel().Fields().IsClosed(); }, kWait);
    }

    TaskThread m_window;
    TestPane m_pane{m_window};
    std::optional<CPanePlayerChannel> m_channel;
    PuppetBot m_bot;
};

TEST_F(PanePlayerChannelTest, ChunksAppendToPaneInOrderAndLastChunkIsStoredWithFlag) {
    m_pane.SetText("Loaded\r\n");
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);

    m_bot.Say("4");
    ASSERT_TRUE(WaitPane("Loaded\r\n4"));
    m_bot.Say("\r\n");
    ASSERT_TRUE(WaitPane("Loaded\r\n4\r\n"));

    const CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, "\r\n");
    EXPECT_EQ(snapshot.hasOutput, 1);
    EXPECT_EQ(m_pane.Scrolls(), 2);
}

TEST_F(PanePlayerChannelTest, LongOutputReachesPaneWholeAndInOrder) {
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    const std::string expected = Pattern(20000);
    m_bot.Command("!spew 20000");
    ASSERT_TRUE(WaitPane(expected));

    const std::string last = Channel().SnapshotOutput().text;
    EXPECT_FALSE(last.empty());
    EXPECT_LE(last.size(), 255u);
    EXPECT_EQ(expected.substr(expected.size() - last.size()), last);
}

TEST_F(PanePlayerChannelTest, FailedOpenShowsPrefixAndMessageAndStoresMessageAlone) {
    Channel().SetPane(&m_pane);
    EXPECT_EQ(OpenOnWindow("/nonexistent/bot"), 0);
    EXPECT_EQ(m_pane.Text(), "\r\nError message: Couldn't load file\r\n");
    const CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, "Couldn't load file\r\n");
    EXPECT_EQ(snapshot.hasOutput, 1);
}

TEST_F(PanePlayerChannelTest, PrintAndExitEndsWithPlayerQuitAsLastOutput) {
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    m_bot.Say("7\r\n");
    m_bot.Exit(0);
    ASSERT_TRUE(WaitClosed());
    ASSERT_TRUE(WaitPane("7\r\n" + kPlayerQuit));
    const CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, kPlayerQuit);
    EXPECT_EQ(snapshot.hasOutput, 1);
}

TEST_F(PanePlayerChannelTest, WithoutPaneNothingIsStoredOrFlagged) {
    EXPECT_EQ(OpenOnWindow("/nonexistent/bot"), 0);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    m_bot.Say("5");
    m_bot.Exit(0);
    ASSERT_TRUE(WaitClosed());
    const CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, "");
    EXPECT_EQ(snapshot.hasOutput, 0);
    EXPECT_EQ(snapshot.serial, 0u);
}

TEST_F(PanePlayerChannelTest, ChunkStartingWithNulStoresEmptyTextAndLeavesPaneAsItWas) {
    m_pane.SetText("x");
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    m_bot.Say(std::string("\0abc", 4));
    ASSERT_TRUE(WaitStores(1));
    const CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, "");
    EXPECT_EQ(snapshot.hasOutput, 1);
    m_bot.Say("y");
    ASSERT_TRUE(WaitPane("xy"));
}

TEST_F(PanePlayerChannelTest, PaneWhoseWindowHasGoneStillGetsOutputStored) {
    m_pane.SetText("old");
    m_pane.DestroyWindow();
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    m_bot.Say("5");
    ASSERT_TRUE(WaitStores(1));
    const CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, "5");
    EXPECT_EQ(snapshot.hasOutput, 1);
    EXPECT_EQ(m_pane.Text(), "old");
}

TEST_F(PanePlayerChannelTest, CloseOnWindowThreadWhileDeliveryWaitsForItReturnsAtOnce) {
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);

    // While the window thread is busy here, the reader hands the chunk's append to it; the Close
    // on this same thread must not wait for that reader, and the append must never run.
    const auto [delivering, closeMs] = m_window.Invoke([&] {
        m_bot.Say("9");
        const bool waiting = WaitUntil([&] { return m_pane.Pending() > 0; }, kWait);
        const auto start = Clock::now();
        Channel().Close();
        return std::make_pair(
            waiting,
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    });
    ASSERT_TRUE(delivering);
    EXPECT_LT(closeMs, 1000) << "Close waited for a reader that waited for the window thread";
    EXPECT_TRUE(Channel().Fields().IsClosed());

    // The abandoned append never runs later, and nothing was stored.
    m_window.Invoke([] {});
    EXPECT_GE(m_pane.Abandoned(), 1);
    EXPECT_EQ(m_pane.Text(), "");
    const CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, "");
    EXPECT_EQ(snapshot.hasOutput, 0);
}

TEST_F(PanePlayerChannelTest, DestructionWhileDeliveryWaitsEndsAtOnceAndTouchesNothing) {
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    const auto [delivering, destroyMs] = m_window.Invoke([&] {
        m_bot.Say("9");
        const bool waiting = WaitUntil([&] { return m_pane.Pending() > 0; }, kWait);
        const auto start = Clock::now();
        m_channel.reset();
        return std::make_pair(
            waiting,
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    });
    ASSERT_TRUE(delivering);
    EXPECT_LT(destroyMs, 1000);
    m_window.Invoke([] {});
    EXPECT_EQ(m_pane.Text(), "");
    EXPECT_EQ(m_pane.Pending(), 0);
}

TEST_F(PanePlayerChannelTest, ClearingWithSnapshotSerialKeepsFlagOfLaterChunk) {
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    m_bot.Say("1");
    ASSERT_TRUE(WaitStores(1));
    const CPanePlayerChannel::OutputSnapshot first = Channel().SnapshotOutput();
    EXPECT_EQ(first.text, "1");
    EXPECT_EQ(first.hasOutput, 1);

    // A chunk that arrives after the controller's copy and before its clearing.
    m_bot.Say("2");
    ASSERT_TRUE(WaitStores(first.serial + 1));
    Channel().ClearOutputFlag(first.serial);
    CPanePlayerChannel::OutputSnapshot second = Channel().SnapshotOutput();
    EXPECT_EQ(second.text, "2");
    EXPECT_EQ(second.hasOutput, 1) << "the later chunk lost its flag";

    Channel().ClearOutputFlag(second.serial);
    EXPECT_EQ(Channel().SnapshotOutput().hasOutput, 0);
    EXPECT_EQ(Channel().SnapshotOutput().text, "2");
}

TEST_F(PanePlayerChannelTest, ResetClearsFlagAndManualStoresBehaveAsTheControllerNeeds) {
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    m_bot.Say("3");
    // The chunk is stored before the pane shows it; wait for both.
    ASSERT_TRUE(WaitStores(1));
    ASSERT_TRUE(WaitPane("3"));
    Channel().ClearOutputFlag();
    EXPECT_EQ(Channel().SnapshotOutput().hasOutput, 0);

    // Manual mode's "p": the text alone.
    Channel().SetLastOutput("p");
    CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, "p");
    EXPECT_EQ(snapshot.hasOutput, 0);

    // A dropped disc: text and flag together.
    Channel().SetLastOutput("6", 1);
    snapshot = Channel().SnapshotOutput();
    EXPECT_EQ(snapshot.text, "6");
    EXPECT_EQ(snapshot.hasOutput, 1);
    Channel().SetLastOutput("p");
    EXPECT_EQ(Channel().SnapshotOutput().hasOutput, 1);

    // A store since a snapshot, even the controller's own, keeps the flag.
    const std::uint64_t before = Channel().SnapshotOutput().serial;
    Channel().SetLastOutput("5", 1);
    Channel().ClearOutputFlag(before);
    EXPECT_EQ(Channel().SnapshotOutput().hasOutput, 1);
    EXPECT_EQ(m_pane.Text(), "3") << "manual stores must not reach the pane";
}

TEST_F(PanePlayerChannelTest, ControllerTakingOutputWhileChunksArriveNeverLosesTheLastOne) {
    Channel().SetPane(&m_pane);
    ASSERT_EQ(OpenOnWindow(m_bot.CommandLine()), 1);
    // Enough chunks that the controller meets many of them on their way to the pane.
    for (int i = 0; i < 10; ++i) {
        m_bot.Command("!spew 60000");
    }
    m_bot.Exit(0);

    // The controller's press of Go, as fast as it can: copy, then clear against that copy,
    // until it has met the last chunk (the end's text), which on a loaded machine may already
    // be there at the first press.
    std::uint64_t lastTaken = 0;
    int taken = 0;
    const auto deadline = Clock::now() + kWait;
    for (bool last = false; !last && Clock::now() < deadline;) {
        const CPanePlayerChannel::OutputSnapshot snapshot = Channel().SnapshotOutput();
        last = snapshot.text == kPlayerQuit;
        if (snapshot.hasOutput == 1) {
            Channel().ClearOutputFlag(snapshot.serial);
            lastTaken = snapshot.serial;
            ++taken;
        }
    }
    std::string expected;
    for (int i = 0; i < 10; ++i) {
        expected += Pattern(60000);
    }
    ASSERT_TRUE(WaitPane(expected + kPlayerQuit));
    const CPanePlayerChannel::OutputSnapshot after = Channel().SnapshotOutput();
    EXPECT_EQ(after.text, kPlayerQuit);
    EXPECT_TRUE(after.hasOutput == 1 || lastTaken == after.serial)
        << "the last chunk was neither taken nor flagged";
    EXPECT_GT(taken, 0);
}

}  // namespace
