#pragma once

#include <QIcon>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "channel/pane_player_channel.h"
#include "moderator/board.h"
#include "moderator/result_kind.h"
#include "ui/bitmap_cell.h"
#include "winsvc/dialog.h"

class CDataExchange;

// The moderator's one window: it starts the two bots, referees their game one press of Go at a
// time, lets a human play as player 2, shows the board, both bots' output and a running
// transcript, and appends every move to the move log "log.txt".
//
// The game side (the button handlers, move application, detection and announcement) lives in
// moderator/moderator_dlg.cpp; the window side (layout binding, start-up, window menu) in
// ui/moderator_dlg_window.cpp.
//
// Window thread only. The two channels' reader threads touch nothing here but the channels'
// own last output and flag, through their snapshot interface.
class CModeratorDlg : public CDialog {
public:
    // Whose move is awaited: 0 no game (waiting for the start handshake), 1 or 2 that player.
    using TurnState = std::int32_t;

    explicit CModeratorDlg(CWnd* parent = nullptr);
    ~CModeratorDlg() override;

    // Button handlers.
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

    // What the board looks like, for whoever wants to read it.
    const Board& GetBoard() const { return m_board; }
    const CBitmapCell& Cell(int column, int row) const { return m_cells[column][row]; }
    const CBitmapCell& Banner() const { return m_banner; }
    TurnState Turn() const { return m_turn; }
    bool ManualMode() const { return m_manualMode != 0; }
    CPanePlayerChannel& Player(int player) { return player == 1 ? m_player1 : m_player2; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;
    void OnSysCommand(unsigned id, std::intptr_t param) override;

private:
    // Creates the board, its heights and the 8 x 7 cells, then runs ResetGame. Runs before the
    // first data exchange binds the cells to their controls, which must not move afterwards.
    void BuildBoard();
    // One half-move of `mover`, whose output snapshot `serial` held `move`.
    void RelayMove(int mover, const std::string& move, std::uint64_t serial);
    // Shows `id` on the banner. The banner lies over the middle of row 4, so it is hidden while
    // it is blank: the discs beneath stay visible during play, a result lies on top of them.
    void ShowBanner(unsigned id);
    void UpdateBannerVisibility();
    // Appends `text` to the status pane, at its caret.
    void InsertStatus(const std::string& text);
    void SetItemText(int id, const char* text);

    Board m_board;                                  // the discs and the heights of the columns
    std::vector<std::vector<CBitmapCell>> m_cells;  // [column][row], 8 x 7; index 0 never shown
    CBitmapCell m_banner;
    std::uint8_t m_manualMode = 0;
    TurnState m_turn = 0;
    std::uint8_t m_nextFirst = 0;  // who moves first next: 0 player 1, 1 player 2
    QIcon m_icon;
    CPanePlayerChannel m_player1;
    CPanePlayerChannel m_player2;
    CWnd* m_statusPane = nullptr;  // not owned; looked up before each use
    std::ofstream m_log;
    std::string m_path1;
    std::string m_path2;
};
