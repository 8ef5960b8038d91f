#include "bots/protocol_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Action = ProtocolSession::Action;
using State = ProtocolSession::State;

// One line from the moderator, what the session must answer, the state it must be in afterwards,
// and, after ChooseMove, the column the driver plays (0: none).
struct Step {
    std::string line;
    Action action;
    State state;
    int ownMove = 0;
};

std::string Name(Action action) {
    switch (action) {
        case Action::None:
            return "None";
        case Action::WriteReady:
            return "WriteReady";
        case Action::ChooseMove:
            return "ChooseMove";
    }
    return "?";
}

std::string Name(State state) {
    switch (state) {
        case State::Idle:
            return "Idle";
        case State::Waiting:
            return "Waiting";
        case State::ToMove:
            return "ToMove";
        case State::GameOver:
            return "GameOver";
    }
    return "?";
}

// Feeds the steps to a freshly started session, checking every answer; returns the session.
ProtocolSession RunScript(const std::vector<Step>& steps) {
    ProtocolSession session;
    EXPECT_EQ(Name(session.Start()), Name(Action::WriteReady));
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        SCOPED_TRACE("step " + std::to_string(i) + ": \"" + step.line + "\"");
        EXPECT_EQ(Name(session.OnLine(step.line)), Name(step.action));
        EXPECT_EQ(Name(session.CurrentState()), Name(step.state));
        if (step.ownMove != 0) {
            EXPECT_TRUE(session.Position().CanPlay(step.ownMove));
            session.OwnMove(step.ownMove);
            EXPECT_EQ(Name(session.CurrentState()), Name(State::Waiting));
        }
    }
    return session;
}

TEST(ProtocolSessionTest, StartsFirstOnOneAndPlaysTheGame) {
    const ProtocolSession session = RunScript({
        {"1\r", Action::ChooseMove, State::ToMove, 4},
        {"4\r", Action::ChooseMove, State::ToMove, 3},
        {"5\r", Action::ChooseMove, State::ToMove, 2},
    });
    EXPECT_EQ(session.Position().ToRows(),
              ".......\n.......\n.......\n.......\n...o...\n.xxxo..\n");
}

TEST(ProtocolSessionTest, StartsSecondOnTwoAndWaitsForTheOpponent) {
    const ProtocolSession session = RunScript({
        {"2\r", Action::None, State::Waiting},
        {"4\r", Action::ChooseMove, State::ToMove, 4},
        {"3\r", Action::ChooseMove, State::ToMove, 5},
    });
    EXPECT_EQ(session.Position().ToRows(),
              ".......\n.......\n.......\n.......\n...o...\n..xxo..\n");
}

// An opening sets up the next game's board; the side whose turn follows it moves first, and a "0"
// forgets an opening that no game used.
TEST(ProtocolSessionTest, StartsFromAnAnnouncedOpening) {
    const ProtocolSession odd = RunScript({
        {"opening 443\r", Action::None, State::Idle},
        {"2\r", Action::ChooseMove, State::ToMove, 3},
    });
    EXPECT_EQ(odd.Position().ToRows(),
              ".......\n.......\n.......\n.......\n..oo...\n..xx...\n");
    RunScript({
        {"opening 44\r", Action::None, State::Idle},
        {"2\r", Action::None, State::Waiting},
        {"0\r", Action::WriteReady, State::Idle},
        {"opening 4\r", Action::None, State::Idle},
        {"0\r", Action::WriteReady, State::Idle},
        {"1\r", Action::ChooseMove, State::ToMove, 1},
    });
    const ProtocolSession even = RunScript({
        {"opening 4455\r", Action::None, State::Idle},
        {"1\r", Action::ChooseMove, State::ToMove, 3},
    });
    EXPECT_EQ(even.Position().ToRows(),
              ".......\n.......\n.......\n.......\n...oo..\n..xxx..\n");
}

TEST(ProtocolSessionTest, ReadsOneAndTwoInsideAGameAsMoves) {
    const ProtocolSession session = RunScript({
        {"2\r", Action::None, State::Waiting},
        {"1\r", Action::ChooseMove, State::ToMove, 2},
        {"2\r", Action::ChooseMove, State::ToMove, 1},
    });
    EXPECT_EQ(session.Position().CellAt(1, 1), 'x');
    EXPECT_EQ(session.Position().CellAt(2, 1), 'o');
    EXPECT_EQ(session.Position().CellAt(2, 2), 'x');
    EXPECT_EQ(session.Position().CellAt(1, 2), 'o');
}

TEST(ProtocolSessionTest, AcceptsLinesWithAndWithoutTheCarriageReturn) {
    RunScript({
        {"1", Action::ChooseMove, State::ToMove, 4},
        {"4", Action::ChooseMove, State::ToMove, 4},
        {"-1", Action::None, State::GameOver},
        {"0", Action::WriteReady, State::Idle},
    });
}

TEST(ProtocolSessionTest, WaitsThroughRepeatedResultsForTheZeroOfAReset) {
    RunScript({
        {"1\r", Action::ChooseMove, State::ToMove, 4},
        {"3\r", Action::ChooseMove, State::ToMove, 4},
        {"-1\r", Action::None, State::GameOver},
        {"-1\r", Action::None, State::GameOver},
        {"-1\r", Action::None, State::GameOver},
        {"-3\r", Action::None, State::GameOver},
        {"0\r", Action::WriteReady, State::Idle},
        {"2\r", Action::None, State::Waiting},
    });
}

TEST(ProtocolSessionTest, GoesOnPlayingWhenGoIsPressedAfterAWin) {
    const ProtocolSession session = RunScript({
        {"2\r", Action::None, State::Waiting},
        {"4\r", Action::ChooseMove, State::ToMove, 1},
        {"-2\r", Action::None, State::GameOver},
        {"5\r", Action::ChooseMove, State::ToMove, 1},
        {"-2\r", Action::None, State::GameOver},
        {"-2\r", Action::None, State::GameOver},
        {"6\r", Action::ChooseMove, State::ToMove, 7},
    });
    EXPECT_EQ(session.Position().MoveCount(), 6);
}

TEST(ProtocolSessionTest, AnswersEveryZeroWithReadyInEveryState) {
    RunScript({
        {"0\r", Action::WriteReady, State::Idle},  // Reset while no game runs
        {"0\r", Action::WriteReady, State::Idle},  // and again
        {"2\r", Action::None, State::Waiting},
        {"0\r", Action::WriteReady, State::Idle},  // Reset while waiting for the opponent
        {"1\r", Action::ChooseMove, State::ToMove, 4},
        {"-2\r", Action::None, State::GameOver},
        {"0\r", Action::WriteReady, State::Idle},  // Reset after a result
        {"0\r", Action::WriteReady, State::Idle},
    });
    ProtocolSession session;
    session.Start();
    session.OnLine("1\r");
    ASSERT_EQ(Name(session.CurrentState()), Name(State::ToMove));
    EXPECT_EQ(Name(session.OnLine("0\r")), Name(Action::WriteReady));  // before the bot moved
    EXPECT_EQ(Name(session.CurrentState()), Name(State::Idle));
}

TEST(ProtocolSessionTest, IgnoresIllegalRelayedMovesUntilTheZeroThatFollows) {
    for (const std::string illegal :
         {"9\r", "8\r", "\r", "", "\r\r", "p\r", "P\r", " \r", "44\r", "?4\r", "4 \r"}) {
        SCOPED_TRACE("relayed \"" + illegal + "\"");
        const ProtocolSession session = RunScript({
            {"2\r", Action::None, State::Waiting},
            {"3\r", Action::ChooseMove, State::ToMove, 4},
            {illegal, Action::None, State::Waiting},
            {"0\r", Action::WriteReady, State::Idle},
        });
        EXPECT_EQ(session.Position().MoveCount(), 2) << "the illegal move must not be placed";
    }
}

TEST(ProtocolSessionTest, IgnoresARelayedMoveIntoAFullColumn) {
    const ProtocolSession session = RunScript({
        {"1\r", Action::ChooseMove, State::ToMove, 4},
        {"4\r", Action::ChooseMove, State::ToMove, 4},
        {"4\r", Action::ChooseMove, State::ToMove, 4},
        {"4\r", Action::ChooseMove, State::ToMove, 3},  // the sixth disc fills column 4
        {"4\r", Action::None, State::Waiting},
        {"0\r", Action::WriteReady, State::Idle},
    });
    EXPECT_EQ(session.Position().MoveCount(), 7);
}

TEST(ProtocolSessionTest, IgnoresMovesAndResultsWhileIdle) {
    RunScript({
        {"3\r", Action::None, State::Idle},
        {"7\r", Action::None, State::Idle},
        {"-1\r", Action::None, State::Idle},
        {"-3\r", Action::None, State::Idle},
        {"\r", Action::None, State::Idle},
        {"1\r", Action::ChooseMove, State::ToMove, 4},
    });
}

TEST(ProtocolSessionTest, StartsEveryGameOnAnEmptyBoard) {
    const ProtocolSession session = RunScript({
        {"1\r", Action::ChooseMove, State::ToMove, 4},
        {"3\r", Action::ChooseMove, State::ToMove, 4},
        {"0\r", Action::WriteReady, State::Idle},
        {"2\r", Action::None, State::Waiting},
    });
    EXPECT_EQ(session.Position().MoveCount(), 0);
}

TEST(ProtocolSessionTest, ExpectsTheTieWhenTheOpponentFillsTheBoard) {
    // A full game without four in a line anywhere; the bot moves first, so the opponent's 42nd disc
    // fills the board and leaves no move to make.
    const std::string drawn = "746336637473574166457736351524215222121451";
    ASSERT_EQ(drawn.size(), 42u);
    std::vector<Step> steps = {{"1\r", Action::ChooseMove, State::ToMove, drawn[0] - '0'}};
    for (std::size_t i = 1; i + 1 < drawn.size(); i += 2) {
        steps.push_back({std::string(1, drawn[i]) + "\r", Action::ChooseMove, State::ToMove,
                         drawn[i + 1] - '0'});
    }
    steps.push_back({std::string(1, drawn.back()) + "\r", Action::None, State::GameOver});
    steps.push_back({"-3\r", Action::None, State::GameOver});
    steps.push_back({"-3\r", Action::None, State::GameOver});
    steps.push_back({"0\r", Action::WriteReady, State::Idle});
    const ProtocolSession session = RunScript(steps);
    EXPECT_TRUE(session.Position().IsFull());
    EXPECT_FALSE(session.Position().LastMoverHasFour());
}

}  // namespace
