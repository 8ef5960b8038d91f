#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What one game of a match came to: the record the referee returns, the runner prints a line of
// and writes to the log, and a resumed run reads back. Plain data; any thread that owns it.
struct GameRecord {
    enum class Outcome {
        Player1Wins,
        Player2Wins,
        Draw,
    };

    // 1, 2, ...
    int number = 0;
    // The bots that played, as indices into the run's bots: player 1's, then player 2's.
    std::array<int, 2> players{0, 1};
    // The slot that moved (or was to move) first: 1 or 2. With an opening, the slot whose discs
    // are the opening's first, third, ... moves.
    int firstMover = 1;
    // The opening the game started from (column digits, first mover first); empty for none.
    std::string opening;
    // The legal moves played after the opening, in order, as column digits "1".."7".
    std::string moves;
    // Milliseconds from the referee's message that gave the turn to the arrival of each of
    // `moves`; as many entries as moves.
    std::vector<long long> moveMs;
    Outcome outcome = Outcome::Draw;
    // Why the game ended, in words: "player 2 made an illegal move: 8", "the board is full", ...
    std::string reason;
    // The slots whose bot was started again (it had ended) before this game, ascending.
    std::vector<int> restarted;
    // With --audit, the solved value of each position of `moves` (see MoveAudit): as many entries
    // as moves plus one. Empty for a game that was not audited.
    std::vector<int> scores;

    bool operator==(const GameRecord&) const = default;

    // "1-0", "0-1" or "1/2-1/2": player 1's score, then player 2's.
    std::string ResultText() const;

    // The move times of slot `player`'s moves (1 or 2), in order.
    std::vector<long long> MoveMsOf(int player) const;

    // The slot that made the first of `moves`.
    int FirstToPlay() const;

    // The record as one line of JSON without a line end:
    // {"game":3,"first":1,"moves":"4455","result":"1-0","reason":"...","move_ms":[0,1,0,0],
    //  "restarted":[]}
    // with "opening":"443" after "first" when the game had one, "players":[0,2] after "game"
    // when the players were other than the run's first two bots, and "scores":[1,-2,...] at the
    // end when the game was audited.
    std::string ToJson() const;

    // A record from one line as ToJson writes it; nothing for a line that is not one (no JSON
    // object, a field missing or of the wrong type or range).
    static std::optional<GameRecord> FromJson(std::string_view line);
};
