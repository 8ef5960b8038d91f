#include "match/audit_report.h"

#include "bots/bitboard_position.h"
#include "solver/move_audit.h"

#include <cstdio>

namespace {

// The bot index that made move `move` (0-based, after the opening) of `record`.
int MoverOf(const GameRecord& record, std::size_t move) {
    const int slot = move % 2 == 0 ? record.FirstToPlay() : 3 - record.FirstToPlay();
    return record.players[static_cast<std::size_t>(slot - 1)];
}

std::string Signed(int score) {
    return (score > 0 ? "+" : "") + std::to_string(score);
}

std::string Board(const BitboardPosition& position) {
    std::string text;
    for (int row = BitboardPosition::kRows; row >= 1; --row) {
        text += "    ";
        for (int column = 1; column <= BitboardPosition::kColumns; ++column) {
            text += position.CellAt(column, row);
            text += column < BitboardPosition::kColumns ? " " : "\n";
        }
    }
    text += "    1 2 3 4 5 6 7\n";
    return text;
}

}  // namespace

std::vector<AuditReport::Tally> AuditReport::Count(const std::vector<GameRecord>& records,
                                                   std::size_t bots) {
    std::vector<Tally> tallies(bots);
    for (const GameRecord& record : records) {
        for (std::size_t i = 0; i < record.moves.size() && !record.scores.empty(); ++i) {
            Tally& tally = tallies[static_cast<std::size_t>(MoverOf(record, i))];
            ++tally.moves;
            switch (MoveAudit::Judge(record.scores[i], MoveAudit::MoveScore(record.scores, i))) {
                case MoveAudit::Verdict::Best:
                    ++tally.best;
                    break;
                case MoveAudit::Verdict::Blunder:
                    ++tally.blunders;
                    break;
                case MoveAudit::Verdict::Kept:
                    break;
            }
        }
    }
    return tallies;
}

std::string AuditReport::Lines(const std::vector<GameRecord>& records,
                               const std::vector<std::string>& names) {
    std::vector<std::string> blunders;
    int total = 0;
    for (const GameRecord& record : records) {
        for (std::size_t i = 0; i < record.moves.size() && !record.scores.empty(); ++i) {
            const int before = record.scores[i];
            const int after = MoveAudit::MoveScore(record.scores, i);
            if (MoveAudit::Judge(before, after) != MoveAudit::Verdict::Blunder) {
                continue;
            }
            if (++total <= kListed) {
                blunders.push_back(
                    "game " + std::to_string(record.number) + ", move " + std::to_string(i + 1) +
                    " by " + names[static_cast<std::size_t>(MoverOf(record, i))] + " (column " +
                    record.moves[i] + ") threw " + MoveAudit::ResultWord(before) +
                    " away: " + MoveAudit::ResultWord(after) + " after it\n");
            }
        }
    }
    const std::vector<Tally> tallies = Count(records, names.size());
    bool audited = false;
    std::size_t width = 3;
    for (std::size_t i = 0; i < names.size(); ++i) {
        audited = audited || tallies[i].moves > 0;
        width = std::max(width, names[i].size());
    }
    if (!audited) {
        return {};
    }
    const int w = static_cast<int>(width);
    char line[512];
    std::string text =
        "audit: each bot's moves of the best score, and its blunders (moves that threw a win or "
        "a draw away)\n";
    std::snprintf(line, sizeof line, "%-*s  %6s  %7s  %8s\n", w, "bot", "moves", "best",
                  "blunders");
    text += line;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const Tally& t = tallies[i];
        std::snprintf(line, sizeof line, "%-*s  %6d  %5.1f %%  %8d\n", w, names[i].c_str(), t.moves,
                      t.moves > 0 ? 100.0 * t.best / t.moves : 0.0, t.blunders);
        text += line;
    }
    for (const std::string& blunder : blunders) {
        text += blunder;
    }
    if (total > kListed) {
        text += "... and " + std::to_string(total - kListed) + " more blunders\n";
    }
    return text;
}

std::string AuditReport::Show(const GameRecord& record, const std::vector<std::string>& names) {
    const auto nameOf = [&](int slot) {
        return names[static_cast<std::size_t>(record.players[static_cast<std::size_t>(slot - 1)])];
    };
    const int first = record.firstMover;
    std::string text = "game " + std::to_string(record.number) + ": " + nameOf(first) +
                       " (x) against " + nameOf(3 - first) + " (o), " + record.ResultText() + ", " +
                       record.reason + "\n";
    BitboardPosition position;
    for (const char c : record.opening) {
        position.Play(c - '0');
    }
    if (!record.opening.empty()) {
        text += "opening " + record.opening + "\n" + Board(position);
    }
    if (!record.scores.empty()) {
        text += "start: " + Signed(record.scores[0]) + " (" +
                MoveAudit::ResultWord(record.scores[0]) + ") for " +
                (position.FirstMoverToMove() ? "x" : "o") + " to move\n";
    }
    for (std::size_t i = 0; i < record.moves.size(); ++i) {
        const char disc = position.FirstMoverToMove() ? 'x' : 'o';
        position.Play(record.moves[i] - '0');
        text += "move " + std::to_string(i + 1) + ": " +
                names[static_cast<std::size_t>(MoverOf(record, i))] + " (" + disc +
                ") plays column " + record.moves[i];
        if (!record.scores.empty()) {
            const int before = record.scores[i];
            const int after = MoveAudit::MoveScore(record.scores, i);
            text += ", score " + Signed(after) + " (best " + Signed(before) + ")";
            if (MoveAudit::Judge(before, after) == MoveAudit::Verdict::Blunder) {
                text += "  BLUNDER: threw " + std::string(MoveAudit::ResultWord(before)) + " away";
            }
        }
        text += "\n" + Board(position);
    }
    return text;
}
