#include "match/game_record.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

TEST(GameRecordTest, WritesOneJsonObject) {
    GameRecord record;
    record.number = 12;
    record.firstMover = 2;
    record.moves = "4455";
    record.moveMs = {3, 0, 12, 1};
    record.outcome = GameRecord::Outcome::Player2Wins;
    record.reason = "player 1 did not move within 5 s";
    record.restarted = {1, 2};
    EXPECT_EQ(record.ToJson(),
              "{\"game\":12,\"first\":2,\"moves\":\"4455\",\"result\":\"0-1\","
              "\"reason\":\"player 1 did not move within 5 s\",\"move_ms\":[3,0,12,1],"
              "\"restarted\":[1,2]}");
}

TEST(GameRecordTest, EmptyListsAndADraw) {
    GameRecord record;
    record.number = 1;
    record.reason = "the board is full";
    EXPECT_EQ(record.ToJson(),
              "{\"game\":1,\"first\":1,\"moves\":\"\",\"result\":\"1/2-1/2\","
              "\"reason\":\"the board is full\",\"move_ms\":[],\"restarted\":[]}");
}

TEST(GameRecordTest, ResultsNamePlayerOnesScoreFirst) {
    GameRecord record;
    record.outcome = GameRecord::Outcome::Player1Wins;
    EXPECT_EQ(record.ResultText(), "1-0");
    record.outcome = GameRecord::Outcome::Player2Wins;
    EXPECT_EQ(record.ResultText(), "0-1");
}

// Every record survives its own line, whatever bytes its reason holds (quotes, backslashes,
// control characters): a resumed run reads back exactly what was logged.
TEST(GameRecordTest, ReadsBackEveryRecordItWrites) {
    std::mt19937 random(7);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int round = 0; round < 500; ++round) {
        GameRecord record;
        record.number = pick(1, 1000000);
        record.firstMover = pick(1, 2);
        for (int i = pick(-3, 4); i > 0; --i) {
            record.opening += static_cast<char>('0' + pick(1, 7));
        }
        for (int i = pick(0, 42); i > 0; --i) {
            record.moves += static_cast<char>('0' + pick(1, 7));
            record.moveMs.push_back(pick(0, 100000));
        }
        record.outcome = static_cast<GameRecord::Outcome>(pick(0, 2));
        for (int i = pick(0, 40); i > 0; --i) {
            record.reason += static_cast<char>(pick(1, 127));
        }
        for (int slot = 1; slot <= 2; ++slot) {
            if (pick(0, 1) == 1) {
                record.restarted.push_back(slot);
            }
        }
        const std::string line = record.ToJson();
        ASSERT_EQ(line.find('\n'), std::string::npos);
        ASSERT_EQ(GameRecord::FromJson(line), record) << line;
    }
}

TEST(GameRecordTest, RefusesLinesThatAreNoRecord) {
    const std::string good =
        "{\"game\":2,\"first\":2,\"moves\":\"44\",\"result\":\"0-1\","
        "\"reason\":\"r\",\"move_ms\":[1,2],\"restarted\":[]}";
    ASSERT_TRUE(GameRecord::FromJson(good));
    for (const std::string& bad : {
             std::string(""),
             good.substr(0, good.size() - 1),
             std::string("[1,2]"),
             std::string("{\"game\":2}"),
             std::string("{\"log\":\"fourfall-match\"}"),
             // Each of these spoils one field of the good line.
             std::string("{\"game\":0,\"first\":2,\"moves\":\"44\",\"result\":\"0-1\","
                         "\"reason\":\"r\",\"move_ms\":[1,2],\"restarted\":[]}"),
             std::string("{\"game\":2,\"first\":3,\"moves\":\"44\",\"result\":\"0-1\","
                         "\"reason\":\"r\",\"move_ms\":[1,2],\"restarted\":[]}"),
             std::string("{\"game\":2,\"first\":2,\"moves\":\"48\",\"result\":\"0-1\","
                         "\"reason\":\"r\",\"move_ms\":[1,2],\"restarted\":[]}"),
             std::string("{\"game\":2,\"first\":2,\"moves\":\"44\",\"result\":\"2-0\","
                         "\"reason\":\"r\",\"move_ms\":[1,2],\"restarted\":[]}"),
             std::string("{\"game\":2,\"first\":2,\"moves\":\"44\",\"result\":\"0-1\","
                         "\"reason\":\"r\",\"move_ms\":[1],\"restarted\":[]}"),
             std::string("{\"game\":\"2\",\"first\":2,\"moves\":\"44\",\"result\":\"0-1\","
                         "\"reason\":\"r\",\"move_ms\":[1,2],\"restarted\":[]}"),
         }) {
        EXPECT_FALSE(GameRecord::FromJson(bad)) << bad;
    }
}

TEST(GameRecordTest, SplitsTheMoveTimesByPlayer) {
    GameRecord record;
    record.firstMover = 2;
    record.moves = "12345";
    record.moveMs = {1, 2, 3, 4, 5};
    EXPECT_EQ(record.MoveMsOf(2), (std::vector<long long>{1, 3, 5}));
    EXPECT_EQ(record.MoveMsOf(1), (std::vector<long long>{2, 4}));
}

}  // namespace
