#pragma once

#include "match/game_record.h"
#include "match/match_event_queue.h"
#include "match/match_player_channel.h"
#include "match/match_schedule.h"
#include "moderator/board.h"
#include "sandbox/bot_wrapper.h"
#include "solver/move_audit.h"

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Referees a match between two bots with the window's channel, rules and line protocol, but
// without the window: the bots' output drives the games, and time limits replace the operator.
//
// A game, as both bots see it (every message for both goes to player 1 first):
//   1. Readiness. Each bot must have written a line beginning with "p" since its start or since
//      the last "0" it was sent, and that must be its latest line (lines beginning with "?" do not
//      count), within the start time limit.
//   2. Start: "1" to the first mover, "2" to the other. Player 1 moves first in odd-numbered
//      games, player 2 in even-numbered ones. With openings, each bot first receives the game's
//      opening as "opening 4453"; the first mover's discs are the opening's first, third, ...
//      moves, and the side whose turn follows the opening moves first. Such a run needs bots that
//      say so in their ready line ("p openings").
//   3. Moves. A bot's turn begins when the referee has written the line that gives it the move
//      (its "1", or the opponent's move). Its move is the first line not beginning with "?" that
//      arrives during its turn, and the move is that line's first character (an empty line is an
//      empty move). Lines a bot writes outside its turn are dropped. The move is relayed to the
//      opponent as that one character, as the window relays it, even when it turns out illegal;
//      then it is played.
//   4. The end, at the first result: four in a line ("-1" or "-2" to both) or a full board ("-3"),
//      sent once; or a loss without a result line: an illegal move (a character other than
//      "1".."7", or a full column), a move not made within the move time limit, a bot that was not
//      ready within the start time limit, a bot that ended, a bot that wrote a line longer than
//      LineAssembler::kMaxLineBytes (notes aside). Then both bots receive "0", once: the
//      reset, which for a loss is also the announcement. If both bots fail to be ready (or both
//      end) before a game starts, the game is drawn.
//   5. A bot whose copy has ended is started again before the next game; a bot that overran a
//      limit is not: it must answer the "0" with "p" like any other.
//
// Threads: everything runs on one referee thread at a time (the one that constructs it, or one it
// was handed to with the synchronisation of a thread's start or join), except Interrupt. The
// referee reads its bots' pipes itself, on that thread, whenever it waits for an event: there is
// no hand-over between threads on the way from a bot's line to the referee.
class MatchReferee {
public:
    using Clock = std::chrono::steady_clock;

    struct Settings {
        // The command lines of every bot of the run; a game is played by two of them.
        std::vector<std::string> commands;
        int games = 10;
        std::chrono::milliseconds moveTime{5000};
        std::chrono::milliseconds startTime{10000};
        // How long EndBots waits for a bot to end after its input was closed, and again after the
        // group was killed.
        std::chrono::milliseconds grace{1000};
        // Starts the bots under limits or in a sandbox; null: each command line as it is.
        std::shared_ptr<BotWrapper> wrapper;
        // The openings of the games (see Openings::ForGame); empty: every game from the empty
        // board.
        std::vector<std::string> openings;
        // Solve every position of each game once it is over and put the scores in its record
        // (GameRecord::scores), with `book` (may be null) for the first moves.
        bool audit = false;
        std::shared_ptr<const OpeningBook> book;
    };

    struct Callbacks {
        // After each game, with its record.
        std::function<void(const GameRecord&)> onGame;
        // When a bot that had ended is started again before game `game`; `started` is false when
        // the new copy could not be started (the bot then loses that game).
        std::function<void(int player, int game, bool started)> onRestart;
    };

    // Starts nothing yet. Referee thread.
    explicit MatchReferee(Settings settings);
    // Ends the bots (EndBots). Referee thread.
    ~MatchReferee();

    MatchReferee(const MatchReferee&) = delete;
    MatchReferee& operator=(const MatchReferee&) = delete;

    // Starts the two bots of `bots` (indices into Settings::commands; the first two by default),
    // player 1 first. Returns 0 when both run; otherwise the slot (1 or 2) of the first that could
    // not be started, with errno from the failed start. Referee thread.
    int StartBots(std::array<int, 2> bots = {0, 1});

    // Plays the match after StartBots: games 1 to Settings::games, or fewer when interrupted (the
    // game under way is then dropped). Returns the records of the games played. Referee thread.
    std::vector<GameRecord> Play(const Callbacks& callbacks);

    // Plays `game` (its first mover follows from the number: player 1 in odd games) after
    // StartBots, first changing to the game's two bots when they are others than the current
    // ones; nothing when interrupted, the game being dropped. Referee thread.
    std::optional<GameRecord> PlayGame(const MatchSchedule::Game& game, const Callbacks& callbacks);

    // Asks Play to stop at once. `signal` (> 0) is kept for InterruptSignal. Any thread.
    void Interrupt(int signal);

    // The signal that interrupted Play; 0 when it ran to its end. Referee thread.
    int InterruptSignal() const { return m_interruptSignal; }

    // Why Play or PlayGame stopped without being interrupted (a bot that cannot play openings in
    // a run with openings), in one line; empty when it did not. Referee thread.
    const std::string& FatalError() const { return m_fatalError; }

    // Ends every bot: closes both channels (the bots see end of file), waits up to the grace
    // period for the bots' process groups to be gone, kills the groups still there, and waits up
    // to the grace period again. Safe to call more than once. Referee thread.
    void EndBots();

    // The pids (process group ids) of the bots' current copies; 0 for a slot with none. For tests
    // and diagnostics. Referee thread.
    std::array<pid_t, 2> BotPids() const;

private:
    struct Bot;
    // A game's end decided before or during play: the loser's reason, per slot (1-based).
    struct Forfeits;

    // Starts (or restarts) slot `player`'s bot. True when it runs.
    bool StartBot(int player);
    // The next event of a current bot copy (or an interrupt) that arrived by `deadline`, waiting
    // until then at most; nothing once the deadline has passed with no such event left. An Ended
    // event marks its copy as ended. Events of earlier copies are dropped.
    std::optional<MatchEvent> NextEvent(Clock::time_point deadline);
    // Both bots' channels, for the queue to pump.
    std::array<CPlayerChannel*, 2> Channels() const;
    // Why slot `player`'s bot ended: "player 2 ended", or the limit it hit.
    std::string EndedReason(int player);
    // The limit slot `player`'s bot has hit while running (its process limit); empty when none.
    std::string LimitHitNow(int player);
    // Writes `text` as one line to slot `player`; returns LastSequence() from right before the
    // write, so that output arriving after it can be told from what came before.
    std::uint64_t Send(int player, const std::string& text);

    // The steps of one game; false when interrupted.
    bool WaitReady(Forfeits& forfeits);
    bool PlayMoves(GameRecord& record, Forfeits& forfeits, std::string& resultLine);
    // Decides a game from its forfeits, when there are any.
    static void ApplyForfeits(GameRecord& record, const Forfeits& forfeits);
    // Sends the result line (if any), then "0" to both, and starts the next readiness period.
    void EndGame(const std::string& resultLine);

    Bot& BotAt(int player);

    const Settings m_settings;
    // The audit's solver, kept from game to game; null without --audit.
    std::unique_ptr<Solver> m_auditor;
    MatchEventQueue m_queue;
    std::array<std::unique_ptr<Bot>, 2> m_bots;
    // An event that arrived after the deadline of the NextEvent that popped it: handled first.
    std::optional<MatchEvent> m_pending;
    // When the last "0" went to both bots (or the bots were started): readiness is timed from here.
    Clock::time_point m_resetAt{};
    Board m_board;
    // The bots of slots 1 and 2, as indices into Settings::commands.
    std::array<int, 2> m_pairing{0, 1};
    int m_interruptSignal = 0;
    std::string m_fatalError;
};
