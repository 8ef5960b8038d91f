#include "solver/move_audit.h"

namespace {

int Sign(int score) {
    return (score > 0) - (score < 0);
}

}  // namespace

std::optional<std::vector<int>> MoveAudit::Scores(Solver& solver, std::string_view opening,
                                                  std::string_view moves) {
    BitboardPosition position;
    bool won = false;
    std::vector<BitboardPosition> positions;
    for (std::size_t i = 0; i < opening.size() + moves.size(); ++i) {
        const char c = i < opening.size() ? opening[i] : moves[i - opening.size()];
        if (i >= opening.size()) {
            positions.push_back(position);
        }
        const int column = c - '0';
        if (won || !position.CanPlay(column)) {
            return std::nullopt;
        }
        won = position.IsWinningMove(column);
        position.Play(column);
    }
    positions.push_back(position);

    std::vector<int> scores(positions.size());
    for (std::size_t i = positions.size(); i-- > 0;) {
        const BitboardPosition& at = positions[i];
        if (i + 1 == positions.size() && won) {
            // The winner's disc was the one before this position's.
            scores[i] = -Solver::WinNowScore(at.MoveCount() - 1);
        } else {
            // Worth at least what the move played from it led to, negated.
            scores[i] = solver.Solve(
                at, i + 1 < positions.size() ? std::optional<int>(-scores[i + 1]) : std::nullopt);
        }
    }
    return scores;
}

MoveAudit::Verdict MoveAudit::Judge(int before, int after) {
    if (after == before) {
        return Verdict::Best;
    }
    return Sign(after) < Sign(before) ? Verdict::Blunder : Verdict::Kept;
}

const char* MoveAudit::ResultWord(int score) {
    return score > 0 ? "a win" : score < 0 ? "a loss" : "a draw";
}
