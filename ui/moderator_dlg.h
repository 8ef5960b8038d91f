#pragma once

#include <QIcon>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "channel/pane_player_channel.h"
#include "moderator/board.h"
#include "moderator/moderator_view.h"
#include "moderator/result_kind.h"
#include "moderator/turn_controller.h"
#include "ui/bitmap_cell.h"
#include "winsvc/dialog.h"

class CDataExchange;

// The moderator's one window: it starts the two bots, referees their game one press of Go at a
// time, lets a human play as player 2, shows the board, both bots' output and a running
// transcript, and appends every move to the move log "log.txt".
//
// The game itself is the TurnController's (moderator/); this class binds the layout's controls,
// starts up, runs the window menu, wires the buttons to the controller and is the controller's
// view of the window.
//
// Window thread only. The two channels' reader threads touch nothing here but the channels'
// own last output and flag, through their snapshot interface.
class CModeratorDlg : public CDialog, private IModeratorView {
public:
    using TurnState = TurnController::TurnState;

    explicit CModeratorDlg(CWnd* parent = nullptr);
    ~CModeratorDlg() override;

    // Button handlers: the controller's actions.
    void OnGo() { m_controller.OnGo(); }
    void OnLoadPlayers() { m_controller.OnLoadPlayers(); }
    void OnManualMode() { m_controller.OnManualMode(); }
    void OnDropColumn(int column) { m_controller.OnDropColumn(column); }
    void OnReset() { m_controller.OnReset(); }

    // The controller's steps, for whoever drives the window directly; see TurnController.
    void ResetGame() { m_controller.ResetGame(); }
    void ApplyMove(const std::string& moveText, int player) {
        m_controller.ApplyMove(moveText, player);
    }
    void CheckBoard() { m_controller.CheckBoard(); }
    void AnnounceResult(ResultKind kind) { m_controller.AnnounceResult(kind); }

    // What the board looks like, for whoever wants to read it.
    const Board& GetBoard() const { return m_controller.GetBoard(); }
    const CBitmapCell& Cell(int column, int row) const { return m_cells[column][row]; }
    const CBitmapCell& Banner() const { return m_banner; }
    TurnState Turn() const { return m_controller.Turn(); }
    bool ManualMode() const { return m_controller.ManualMode(); }
    CPanePlayerChannel& Player(int player) { return m_controller.Player(player); }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;
    void OnSysCommand(unsigned id, std::intptr_t param) override;

private:
    // IModeratorView, over the layout's controls.
    void TakeFields() override;
    std::string CommandLine(int player) const override;
    void InsertStatus(const std::string& text) override;
    void SetOutputText(int player, const char* text) override;
    ITextPane* OutputPane(int player) override;
    void ShowCell(int column, int row, unsigned bitmapId) override;
    void ShowBanner(unsigned bitmapId) override;

    // Creates the 8 x 7 cells, then starts a new game. Runs before the first data exchange binds
    // the cells to their controls, which must not move afterwards.
    void BuildBoard();
    // The banner lies over the middle of row 4, so it is hidden while it is blank: the discs
    // beneath stay visible during play, a result lies on top of them.
    void UpdateBannerVisibility();

    std::vector<std::vector<CBitmapCell>> m_cells;  // [column][row], 8 x 7; index 0 never shown
    CBitmapCell m_banner;
    QIcon m_icon;
    CPanePlayerChannel m_player1;
    CPanePlayerChannel m_player2;
    std::ofstream m_log;
    std::string m_path1;
    std::string m_path2;
    TurnController m_controller{*this, m_player1, m_player2, m_log};
};
