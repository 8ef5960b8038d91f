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
