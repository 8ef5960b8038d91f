#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "channel/pane_player_channel.h"
#include "moderator/board.h"
#include "moderator/moderator_view.h"
#include "moderator/result_kind.h"

// The moderator's game, one press of Go at a time: the start handshake, the alternation of the
// players, the relay of each move to the other bot, the board, the detection and announcement of
// results, the human's moves as player 2 (manual mode), Load Players and Reset, and the move log.
// It drives the window through IModeratorView and talks to the bots through their two channels;
// neither it nor anything it includes knows of a toolkit.
//
// Window thread only. The channels' reader threads touch nothing here but the channels' own last
// output and flag, through their snapshot interface.
class TurnController {
public:
    // Whose move is awaited: 0 no game (waiting for the start handshake), 1 or 2 that player.
    using TurnState = std::int32_t;

    // Drives `view` and the two channels, and appends the moves to `log`; all must outlive it.
    TurnController(IModeratorView& view, CPanePlayerChannel& player1, CPanePlayerChannel& player2,
                   std::ostream& log);

    // The window's actions.
    void OnGo();
    void OnLoadPlayers();
    void OnManualMode();
    void OnDropColumn(int column);
    void OnReset();

    // Writes "0" to both players and starts a new game: empty board, blank banner, no game
    // running, manual mode off, both new-output flags cleared, both output panes emptied.
    void ResetGame();
    // Reads the move number at the start of `moveText`, logs it, and drops `player`'s disc in that
    // column, or announces an error when the column is outside 1..7 or full.
    void ApplyMove(const std::string& moveText, int player);
    // Announces every four in a line the board holds (a run of n announced n - 3 times), then a
    // tie when the board is full. Nothing is remembered: a result is announced again at every call.
    void CheckBoard();
    // Tells both players, the status pane and the banner one outcome.
    void AnnounceResult(ResultKind kind);

    // A fresh start of the window: no game, manual mode off, player 1 first.
    void Start();

    const Board& GetBoard() const { return m_board; }
    TurnState Turn() const { return m_turn; }
    bool ManualMode() const { return m_manualMode; }
    CPanePlayerChannel& Player(int player) { return player == 1 ? m_player1 : m_player2; }

private:
    // One half-move of `mover`, whose output snapshot `serial` held `move`.
    void RelayMove(int mover, const std::string& move, std::uint64_t serial);

    IModeratorView& m_view;
    CPanePlayerChannel& m_player1;
    CPanePlayerChannel& m_player2;
    std::ostream& m_log;
    Board m_board;  // the discs and the heights of the columns
    bool m_manualMode = false;
    TurnState m_turn = 0;
    // Who moves first in the next game, 1 or 2: alternates from one start to the next, across
    // Reset and Load Players alike.
    int m_nextFirst = 1;
};
