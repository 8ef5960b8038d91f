#pragma once

#include "solver/solver.h"

#include <optional>
#include <string_view>
#include <vector>

// The true value of every move of a game, for the runner's --audit and its reports.
//
// A game's scores are the values of its positions, from the one its moves start from (after the
// opening) to the one after its last move, each for the side to move there (Solver's scores; the
// position after a winning move is worth the winner's score negated, a full board 0). Move i
// (0-based) of the game then takes a position worth scores[i] to its mover and is itself worth
// MoveScore(scores, i) to it.
struct MoveAudit {
    // What a move did to its mover's result with perfect play.
    enum class Verdict {
        Best,     // a move of the best score
        Kept,     // not the best score, but the same result (a slower win, a faster loss)
        Blunder,  // turned a win into a draw or a loss, or a draw into a loss
    };

    // The scores of the game of `moves` after `opening`; nothing when the two are no legal game
    // (a character other than 1..7, a full column, a move after a four). Solves the positions
    // from the last back to the first, so that each search starts from what the later ones found.
    static std::optional<std::vector<int>> Scores(Solver& solver, std::string_view opening,
                                                  std::string_view moves);

    static int MoveScore(const std::vector<int>& scores, std::size_t move) {
        return -scores[move + 1];
    }

    // The verdict on a move worth `after` to its mover from a position worth `before` to it.
    static Verdict Judge(int before, int after);

    // "a win", "a draw" or "a loss": the result a score promises.
    static const char* ResultWord(int score);
};
