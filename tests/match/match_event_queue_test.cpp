#include "match/match_event_queue.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = MatchEventQueue::Clock;

MatchEvent LineOf(int player, const std::string& text) {
    MatchEvent event;
    event.player = player;
    event.text = text;
    return event;
}

TEST(MatchEventQueueTest, DeliversInOrderWithRisingSequenceNumbers) {
    MatchEventQueue queue;
    EXPECT_EQ(queue.LastSequence(), 0u);
    queue.Push(LineOf(1, "p"));
    queue.Push(LineOf(2, "p"));
    EXPECT_EQ(queue.LastSequence(), 2u);
    const std::optional<MatchEvent> first = queue.PopUntil(Clock::now());
    const std::optional<MatchEvent> second = queue.PopUntil(Clock::now());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->player, 1);
    EXPECT_EQ(first->sequence, 1u);
    EXPECT_EQ(second->player, 2);
    EXPECT_EQ(second->sequence, 2u);
    EXPECT_FALSE(queue.PopUntil(Clock::now()));
}

TEST(MatchEventQueueTest, WaitsUntilTheDeadline) {
    MatchEventQueue queue;
    const auto start = Clock::now();
    EXPECT_FALSE(queue.PopUntil(start + 50ms));
    EXPECT_GE(Clock::now() - start, 50ms);
}

TEST(MatchEventQueueTest, InterruptComesFirstAndStays) {
    MatchEventQueue queue;
    queue.Push(LineOf(1, "4"));
    queue.Interrupt(2);
    queue.Interrupt(15);
    for (int i = 0; i < 2; ++i) {
        const std::optional<MatchEvent> event = queue.PopUntil(Clock::now());
        ASSERT_TRUE(event);
        EXPECT_EQ(event->kind, MatchEvent::Kind::Interrupt);
        EXPECT_EQ(event->signal, 2);
    }
}

TEST(MatchEventQueueTest, InterruptWakesAWaitingReferee) {
    MatchEventQueue queue;
    std::thread interrupter([&queue] {
        std::this_thread::sleep_for(20ms);
        queue.Interrupt(15);
    });
    const auto start = Clock::now();
    const std::optional<MatchEvent> event = queue.PopUntil(Clock::now() + 10s);
    interrupter.join();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, MatchEvent::Kind::Interrupt);
    EXPECT_LT(Clock::now() - start, 5s);
}

}  // namespace
