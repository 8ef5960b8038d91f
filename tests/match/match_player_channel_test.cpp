// The runner's channel with a real puppetbot at the other end: what the referee receives.

#include "match/match_player_channel.h"

#include "match/match_event_queue.h"
#include "tests/testbots/puppet_bot.h"
#include "tests/testbots/wait_until.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = MatchEventQueue::Clock;

// The next event that pumping `channel` brings by `deadline`, as the referee takes it.
std::optional<MatchEvent> PopUntil(MatchEventQueue& queue, MatchPlayerChannel& channel,
                                   Clock::time_point deadline) {
    CPlayerChannel* const channels[] = {&channel};
    return queue.PopUntil(deadline, channels);
}

// The next event within a few seconds (a failed expectation if none comes).
MatchEvent Next(MatchEventQueue& queue, MatchPlayerChannel& channel) {
    std::optional<MatchEvent> event = PopUntil(queue, channel, Clock::now() + 10s);
    EXPECT_TRUE(event);
    return event.value_or(MatchEvent{});
}

TEST(MatchPlayerChannelTest, HandsOverWholeLinesWhateverTheChunks) {
    MatchEventQueue queue;
    MatchPlayerChannel channel(queue, 2);
    PuppetBot bot;
    ASSERT_EQ(channel.Start(bot.CommandLine()), 1);
    bot.Say("4");
    std::this_thread::sleep_for(50ms);
    bot.Say("\r\n?x\n5");
    const MatchEvent four = Next(queue, channel);
    EXPECT_EQ(four.kind, MatchEvent::Kind::Line);
    EXPECT_EQ(four.text, "4");
    EXPECT_EQ(four.player, 2);
    EXPECT_EQ(four.generation, 1u);
    // The note never reaches the queue; the "5" waits for its line end.
    EXPECT_FALSE(PopUntil(queue, channel, Clock::now() + 50ms));
    bot.Say("\n");
    const MatchEvent five = Next(queue, channel);
    EXPECT_EQ(five.text, "5");
    EXPECT_GT(five.sequence, four.sequence);
    EXPECT_GE(five.at, four.at);
}

// The end is an event of its own after everything the bot wrote, whether its output closed with
// it or a process it started still holds the output open; a bot that prints the window's
// "Player Quit" text has not ended.
TEST(MatchPlayerChannelTest, ReportsTheEndOfTheBotAfterItsLastLine) {
    for (const char* how : {"exit", "grandchild"}) {
        SCOPED_TRACE(how);
        MatchEventQueue queue;
        MatchPlayerChannel channel(queue, 1);
        EXPECT_EQ(channel.Fields().pollMs, 0u);
        PuppetBot bot;
        ASSERT_EQ(channel.Start(bot.CommandLine()), 1);
        bot.Say("\r\nPlayer Quit\r\np\n");
        if (std::string(how) == "grandchild") {
            bot.Command("!grandchild");
        }
        bot.Exit(0);
        EXPECT_EQ(Next(queue, channel).text, "");
        EXPECT_EQ(Next(queue, channel).text, "Player Quit");
        EXPECT_EQ(Next(queue, channel).text, "p");
        const MatchEvent ended = Next(queue, channel);
        EXPECT_EQ(ended.kind, MatchEvent::Kind::Ended);
        EXPECT_EQ(ended.player, 1);
        EXPECT_EQ(ended.generation, 1u);
        EXPECT_TRUE(WaitUntil([&] { return channel.Fields().IsClosed(); }, 5s));
    }
}

TEST(MatchPlayerChannelTest, StartingAgainCountsUpAndForgetsTheOldCopysHalfLine) {
    MatchEventQueue queue;
    MatchPlayerChannel channel(queue, 1);
    EXPECT_EQ(channel.Generation(), 0u);
    PuppetBot first;
    ASSERT_EQ(channel.Start(first.CommandLine()), 1);
    first.Say("?half a li");
    std::this_thread::sleep_for(50ms);
    PuppetBot second;
    ASSERT_EQ(channel.Start(second.CommandLine()), 1);
    EXPECT_EQ(channel.Generation(), 2u);
    second.Say("4\n");
    const MatchEvent event = Next(queue, channel);
    EXPECT_EQ(event.text, "4");
    EXPECT_EQ(event.generation, 2u);
    // The first copy lost its input and output; nothing more of it reaches the queue.
    EXPECT_FALSE(PopUntil(queue, channel, Clock::now() + 50ms));
}

TEST(MatchPlayerChannelTest, FailedStartReportsNothingToTheQueue) {
    MatchEventQueue queue;
    MatchPlayerChannel channel(queue, 1);
    EXPECT_EQ(channel.Start("/nonexistent/fourfall-bot"), 0);
    EXPECT_TRUE(channel.Fields().IsClosed());
    EXPECT_FALSE(PopUntil(queue, channel, Clock::now() + 20ms));
}

TEST(MatchPlayerChannelTest, OnlyThePacedReaderPolls) {
    MatchEventQueue queue;
    EXPECT_EQ(MatchPlayerChannel(queue, 1).Fields().pollMs, 0u);
    EXPECT_EQ(CPlayerChannel().Fields().pollMs, CPlayerChannel::kDefaultPollMs);
    EXPECT_EQ(CPlayerChannel(CPlayerChannel::ReadMode::Paced).Fields().pollMs,
              CPlayerChannel::kDefaultPollMs);
    // Never a zero timeout, which would make a paced reader spin.
    EXPECT_EQ(CPlayerChannel(0u).Fields().pollMs, 1u);
}

}  // namespace
