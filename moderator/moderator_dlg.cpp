#include "moderator/moderator_dlg.h"

#include "moderator/move_number.h"
#include "res/resource_ids.h"

namespace {

// The first character of a player's last output: all that a press of Go reads of it. An empty
// output gives an empty text, which is written and read as empty.
std::string FirstCharacter(const std::string& output) {
    return output.substr(0, 1);
}

struct Announcement {
    const char* line;    // sent to player 1, then to player 2
    const char* status;  // appended to the status pane
    unsigned bitmap;     // shown on the banner
};

// Indexed by ResultKind.
constexpr Announcement kAnnouncements[] = {
    {"0", "ERROR\r\n", IDB_ERROR},
    {"-1", "Player 1 Wins\r\n", IDB_PLAYER1_WINS},
    {"-2", "Player 2 Wins\r\n", IDB_PLAYER2_WINS},
    {"-3", "TIE\r\n", IDB_TIE},
};

}  // namespace

void CModeratorDlg::OnGo() {
    UpdateData(true);
    m_statusPane = GetDlgItem(IDC_STATUS);

    // Each player's last output and flag are copied as one step, and the flag is cleared below
    // only if no chunk has replaced that output since: a move that arrives during this press is
    // kept for a later one.
    const CPanePlayerChannel::OutputSnapshot out1 = m_player1.SnapshotOutput();
    const CPanePlayerChannel::OutputSnapshot out2 = m_player2.SnapshotOutput();
    const std::string t1 = FirstCharacter(out1.text);
    const std::string t2 = FirstCharacter(out2.text);
    int hasOutput1 = out1.hasOutput;
    int hasOutput2 = out2.hasOutput;

    // Debugging lines of a bot begin with "?": dropped in every state.
    if (t1 == "?") {
        m_player1.ClearOutputFlag(out1.serial);
        hasOutput1 = 0;
    }
    if (t2 == "?") {
        m_player2.ClearOutputFlag(out2.serial);
        hasOutput2 = 0;
    }

    if (m_turn == 0) {
        // The start handshake: both players have said "p", however long ago.
        if (t1 == "p" && t2 == "p") {
            UpdateData(true);
            m_player1.ClearOutputFlag(out1.serial);
            m_player2.ClearOutputFlag(out2.serial);
            InsertStatus("Player info sent\r\n");
            // The first mover alternates from one start to the next, across Reset and Load
            // Players alike.
            const bool player1First = m_nextFirst == 0;
            m_turn = player1First ? 1 : 2;
            m_player1.Printf("%s\r\n", player1First ? "1" : "2");
            m_player2.Printf("%s\r\n", player1First ? "2" : "1");
            if (m_manualMode == 1) {
                SetItemText(IDC_OUTPUT2, player1First ? "You're Second. Hit go."
                                                      : "You're First. Choose a drop.");
            }
            m_nextFirst = player1First ? 1 : 0;
        }
    } else if (hasOutput1 == 1 && m_turn == 1) {
        RelayMove(1, t1, out1.serial);
    } else if (hasOutput2 == 1 && m_turn == 2) {
        RelayMove(2, t2, out2.serial);
    }

    // A result is not remembered: whatever the board shows is announced at every press.
    CheckBoard();
}

void CModeratorDlg::RelayMove(int mover, const std::string& move, std::uint64_t serial) {
    // The move is relayed, shown and the turn passed before it is validated, so an illegal move
    // still reaches the opponent.
    const int opponent = 3 - mover;
    UpdateData(true);
    Player(mover).ClearOutputFlag(serial);
    Player(opponent).Printf("%s\r\n", move.c_str());
    InsertStatus(mover == 1 ? "Player 1 :" : "Player 2 :");
    InsertStatus(move);
    InsertStatus("\r\n");
    m_turn = opponent;
    ApplyMove(move, mover);
}

void CModeratorDlg::OnLoadPlayers() {
    if (m_turn != 0) {
        return;
    }
    UpdateData(true);

    if (m_manualMode == 1) {
        SetItemText(IDC_OUTPUT2, "Loaded. Hit go to assign turns");
    } else {
        // The pane is attached before Open, so a bot that fails to start shows why in it.
        m_player2.SetPane(GetDlgItem(IDC_OUTPUT2));
        SetItemText(IDC_OUTPUT2, "");
        m_player2.Close();
        m_player2.Open(m_path2.c_str());
    }

    m_player1.SetPane(GetDlgItem(IDC_OUTPUT1));
    SetItemText(IDC_OUTPUT1, "");
    m_player1.Close();
    m_player1.Open(m_path1.c_str());

    // Each load starts a new line of the move log. The line end is CR LF on every platform, so
    // that logs compare byte for byte wherever they were written.
    m_log << "\r\n" << std::flush;
}

void CModeratorDlg::OnManualMode() {
    m_manualMode = 1;
    m_player2.SetLastOutput("p");
    SetItemText(IDC_OUTPUT2, "MANUAL");
}

void CModeratorDlg::OnDropColumn(int column) {
    if (m_turn == 2 && m_manualMode == 1) {
        m_player2.SetLastOutput(std::to_string(column), 1);
        OnGo();
    }
}

void CModeratorDlg::OnReset() {
    ResetGame();
}

void CModeratorDlg::ResetGame() {
    m_player1.Printf("%s\r\n", "0");
    m_player2.Printf("%s\r\n", "0");

    ShowBanner(IDB_BLANK_BANNER);
    m_board.Clear();
    for (auto& column : m_cells) {
        for (auto& cell : column) {
            cell.ShowBitmap(IDB_EMPTY_HOLE);
        }
    }

    m_turn = 0;
    m_manualMode = 0;
    m_player1.ClearOutputFlag();
    m_player2.ClearOutputFlag();
    SetItemText(IDC_OUTPUT1, "");
    SetItemText(IDC_OUTPUT2, "");
}

void CModeratorDlg::ApplyMove(const std::string& moveText, int player) {
    const std::int32_t column = ReadMoveNumber(moveText);
    m_log << column << std::flush;

    const std::optional<std::int32_t> row = m_board.Drop(column, player);
    if (!row) {
        AnnounceResult(ResultError);
        return;
    }
    m_cells[column][*row].ShowBitmap(player == 1 ? IDB_PLAYER1_DISC : IDB_PLAYER2_DISC);
}

void CModeratorDlg::CheckBoard() {
    for (const ResultKind kind : m_board.CheckBoard()) {
        AnnounceResult(kind);
    }
}

void CModeratorDlg::AnnounceResult(ResultKind kind) {
    if (kind < ResultError || kind > ResultTie) {
        return;
    }
    const Announcement& a = kAnnouncements[kind];
    m_player1.Printf("%s\r\n", a.line);
    m_player2.Printf("%s\r\n", a.line);
    m_statusPane = GetDlgItem(IDC_STATUS);
    m_statusPane->ReplaceSel(a.status);
    ShowBanner(a.bitmap);
}

void CModeratorDlg::InsertStatus(const std::string& text) {
    m_statusPane->ReplaceSel(text);
}

void CModeratorDlg::SetItemText(int id, const char* text) {
    GetDlgItem(id)->SetWindowText(text);
}
