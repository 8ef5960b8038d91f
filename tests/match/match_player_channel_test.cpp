// The runner's channel with a real puppetbot at the other end: what the referee receives.

#include "match/match_player_channel.h"

#include "match/match_event_queue.h"
#include "tests/testbots/puppet_bot.h"
#include "tests/testbots/wait_until.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = MatchEventQueue::Clock;

// The next event within a few seconds (a failed expectation if none comes).
MatchEvent Next(MatchEventQueue& queue) {
    std::optional<MatchEvent> event = queue.PopUntil(Clock::now() + 10s);
    EXPECT_TRUE(event);
    return event.value_or(MatchEvent{});
}

TEST(MatchPlayerChannelTest, HandsOverWholeLinesWhateverTheChunks) {
    MatchEventQueue queue;
    MatchPlayerChannel channel(queue, 2, 2);
    PuppetBot bot;
    ASSERT_EQ(channel.Start(bot.CommandLine()), 1);
    bot.Say("4");
    std::this_thread::sleep_for(50ms);
    bot.Say("\r\n?x\n5");
    const MatchEvent four = Next(queue);
    EXPECT_EQ(four.kind, MatchEvent::Kind::Line);
    EXPECT_EQ(four.text, "4");
    EXPECT_EQ(four.player, 2);
    EXPECT_EQ(four.generation, 1u);
    EXPECT_EQ(Next(queue).text, "?x");
    EXPECT_FALSE(queue.PopUntil(Clock::now() + 50ms));
    bot.Say("\n");
    const MatchEvent five = Next(queue);
    EXPECT_EQ(five.text, "5");
    EXPECT_GT(five.sequence, four.sequence);
    EXPECT_GE(five.at, four.at);
}

TEST(MatchPlayerChannelTest, ReportsTheEndOfTheBotAndCloses) {
    MatchEventQueue queue;
    MatchPlayerChannel channel(queue, 1, 2);
    PuppetBot bot;
    ASSERT_EQ(channel.Start(bot.CommandLine()), 1);
    bot.Say("p\n");
    bot.Exit(0);
    EXPECT_EQ(Next(queue).text, "p");
    const MatchEvent quit = Next(queue);
    EXPECT_EQ(quit.kind, MatchEvent::Kind::Quit);
    EXPECT_EQ(quit.player, 1);
    EXPECT_TRUE(WaitUntil([&] { return channel.Fields().IsClosed(); }, 5s));
}

TEST(MatchPlayerChannelTest, StartingAgainCountsUpAndForgetsTheOldCopysHalfLine) {
    MatchEventQueue queue;
    MatchPlayerChannel channel(queue, 1, 2);
    EXPECT_EQ(channel.Generation(), 0u);
    PuppetBot first;
    ASSERT_EQ(channel.Start(first.CommandLine()), 1);
    first.Say("?half a li");
    std::this_thread::sleep_for(50ms);
    PuppetBot second;
    ASSERT_EQ(channel.Start(second.CommandLine()), 1);
    EXPECT_EQ(channel.Generation(), 2u);
    second.Say("4\n");
    const MatchEvent event = Next(queue);
    EXPECT_EQ(event.text, "4");
    EXPECT_EQ(event.generation, 2u);
    // The first copy lost its input and output; nothing more of it reaches the queue.
    EXPECT_FALSE(queue.PopUntil(Clock::now() + 50ms));
}

TEST(MatchPlayerChannelTest, FailedStartReportsNothingToTheQueue) {
    MatchEventQueue queue;
    MatchPlayerChannel channel(queue, 1, 2);
    EXPECT_EQ(channel.Start("/nonexistent/fourfall-bot"), 0);
    EXPECT_TRUE(channel.Fields().IsClosed());
    EXPECT_FALSE(queue.PopUntil(Clock::now() + 20ms));
}

TEST(MatchPlayerChannelTest, PollsAtTheGivenInterval) {
    MatchEventQueue queue;
    EXPECT_EQ(MatchPlayerChannel(queue, 1, 2).Fields().pollMs, 2u);
    // Never a zero timeout, which would make the reader spin.
    EXPECT_EQ(MatchPlayerChannel(queue, 1, 0).Fields().pollMs, 1u);
    EXPECT_EQ(CPlayerChannel().Fields().pollMs, CPlayerChannel::kDefaultPollMs);
}

}  // namespace
