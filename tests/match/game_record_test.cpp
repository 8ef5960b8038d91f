#include "match/game_record.h"

#include <gtest/gtest.h>

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

TEST(GameRecordTest, EscapesJsonStrings) {
    EXPECT_EQ(GameRecord::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(GameRecord::JsonString(std::string("\r\n\t\x01", 4)),
              "\"\\u000d\\u000a\\u0009\\u0001\"");
    EXPECT_EQ(GameRecord::JsonString("\\x20"), "\"\\\\x20\"");
}

}  // namespace
