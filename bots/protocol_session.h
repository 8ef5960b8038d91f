#pragma once

#include <string_view>

#include "bots/bitboard_position.h"

// The bot's side of the moderator's line protocol, without any input or output: feed it each line
// the moderator writes and it says what the bot must do. Both sample bots run on it, so that they
// cope alike with what the moderator really sends: result lines more than once and at any time,
// moves relayed after a result, illegal moves relayed before the "0" that rejects them.
//
// What the moderator writes, and how the session reads it:
//   "opening M"    after "p": the next game starts from the moves M ("4453", first mover first)
//   "1" / "2"      after the bot has written "p": a new game, the bot being the first / second
//                  mover (the one to move, unless an opening of odd length gives the move to the
//                  second); within a game: the opponent's move into column 1 or 2
//   "3".."7"       within a game: the opponent's move
//   "0"            the game is over: an illegal move was rejected, or the operator pressed Reset.
//                  The bot answers "p" (ready for the next game), whatever its state
//   "-1" "-2" "-3" a win of player 1 / player 2, or a tie; repeated at every later step
//   anything else  an illegal move of the opponent relayed as it was ("9", an empty line, a lone
//                  carriage return): ignored, a "0" follows
// Lines are passed without their line end; a trailing carriage return is removed here.
//
// A plain single-threaded object: all members run on the bot's one thread.
class ProtocolSession {
public:
    enum class State {
        Idle,      // "p" written: waiting for the "1" or "2" that starts a game
        Waiting,   // in a game, the opponent to move
        ToMove,    // in a game, this bot to move: the driver must pick a column and call OwnMove
        GameOver,  // a win or tie was announced: waiting for the "0" of a Reset
    };
    // The ready line: "p", and the word that says the bot can start from an opening.
    static constexpr const char* kReadyLine = "p openings";

    enum class Action {
        None,        // write nothing
        WriteReady,  // write kReadyLine
        ChooseMove,  // pick a legal column of Position() and report it through OwnMove
    };

    // The bot has just started: it must announce that it is ready. Returns WriteReady.
    Action Start();
    // One line from the moderator, with or without its trailing carriage return.
    Action OnLine(std::string_view line);
    // The column the driver wrote after ChooseMove. Precondition: State() is ToMove and
    // Position().CanPlay(column).
    void OwnMove(int column);

    State CurrentState() const { return m_state; }
    // The board of the current (or last) game, from this bot's moves and the opponent's legal
    // relayed moves.
    const BitboardPosition& Position() const { return m_position; }

private:
    Action TakeOpponentMove(std::string_view line);

    State m_state = State::Idle;
    BitboardPosition m_position;
    // The opening announced for the next game: the position after it.
    BitboardPosition m_opening;
};
