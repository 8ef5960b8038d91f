#pragma once

#include <cstdint>

// The outcome of a move or of a board check, announced to both players and to the window. A
// winning player's number is its kind, so a disc's value converts directly.
enum ResultKind : std::int32_t {
    ResultError = 0,  // an illegal move: a number outside 1..7 or a full column
    Player1Wins = 1,
    Player2Wins = 2,
    ResultTie = 3,  // every column is full
};

// The line that announces `kind` to the bots: "0" for an illegal move, "-1" or "-2" for the
// winner, "-3" for a tie.
constexpr const char* ResultLine(ResultKind kind) {
    switch (kind) {
        case Player1Wins:
            return "-1";
        case Player2Wins:
            return "-2";
        case ResultTie:
            return "-3";
        case ResultError:
            break;
    }
    return "0";
}
