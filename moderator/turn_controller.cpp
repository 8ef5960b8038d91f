#include "moderator/turn_controller.h"

#include "moderator/move_number.h"
#include "res/resource_ids.h"

namespace {

// The first character of a player's last output: all that a press of Go reads of it. An empty
// output gives an empty text, which is written and read as empty.
std::string FirstCharacter(const std::string& output) {
    return output.substr(0, 1);
}

struct Announcement {
    const char* status;  // appended to the status pane
    unsigned bitmap;     // shown on the banner
};

// Indexed by ResultKind.
constexpr Announcement kAnnouncements[] = {
    {"ERROR\r\n", IDB_ERROR},
    {"Player 1 Wins\r\n", IDB_PLAYER1_WINS},
    {"Player 2 Wins\r\n", IDB_PLAYER2_WINS},
    {"TIE\r\n", IDB_TIE},
};

}  // namespace

TurnController::TurnController(IModeratorView& view, CPanePlayerChannel& player1,
                               CPanePlayerChannel& player2, std::ostream& log)
    : m_view(view), m_player1(player1), m_player2(player2), m_log(log) {}

void TurnController::Start() {
    m_manualMode = false;
    m_turn = 0;
    m_nextFirst = 1;
}

void TurnController::OnGo() {
    m_view.TakeFields();

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
            m_view.TakeFields();
            m_player1.ClearOutputFlag(out1.serial);
            m_player2.ClearOutputFlag(out2.serial);
            m_view.InsertStatus("Player info sent\r\n");
            const bool player1First = m_nextFirst == 1;
            m_turn = player1First ? 1 : 2;
            m_player1.Printf("%s\r\n", player1First ? "1" : "2");
            m_player2.Printf("%s\r\n", player1First ? "2" : "1");
            if (m_manualMode) {
                m_view.SetOutputText(
                    2, player1First ? "You're Second. Hit go." : "You're First. Choose a drop.");
            }
            m_nextFirst = player1First ? 2 : 1;
        }
    } else if (hasOutput1 == 1 && m_turn == 1) {
        RelayMove(1, t1, out1.serial);
    } else if (hasOutput2 == 1 && m_turn == 2) {
        RelayMove(2, t2, out2.serial);
    }

    // A result is not remembered: whatever the board shows is announced at every press.
    CheckBoard();
}

void TurnController::RelayMove(int mover, const std::string& move, std::uint64_t serial) {
    // The move is relayed, shown and the turn passed before it is validated, so an illegal move
    // still reaches the opponent.
    const int opponent = 3 - mover;
    m_view.TakeFields();
    Player(mover).ClearOutputFlag(serial);
    Player(opponent).Printf("%s\r\n", move.c_str());
    m_view.InsertStatus(mover == 1 ? "Player 1 :" : "Player 2 :");
    m_view.InsertStatus(move);
    m_view.InsertStatus("\r\n");
    m_turn = opponent;
    ApplyMove(move, mover);
}

void TurnController::OnLoadPlayers() {
    if (m_turn != 0) {
        return;
    }
    m_view.TakeFields();

    if (m_manualMode) {
        m_view.SetOutputText(2, "Loaded. Hit go to assign turns");
    } else {
        // The pane is attached before Open, so a bot that fails to start shows why in it.
        m_player2.SetPane(m_view.OutputPane(2));
        m_view.SetOutputText(2, "");
        m_player2.Close();
        m_player2.Open(m_view.CommandLine(2).c_str());
    }

    m_player1.SetPane(m_view.OutputPane(1));
    m_view.SetOutputText(1, "");
    m_player1.Close();
    m_player1.Open(m_view.CommandLine(1).c_str());

    // Each load starts a new line of the move log. The line end is CR LF on every platform, so
    // that logs compare byte for byte wherever they were written.
    m_log << "\r\n" << std::flush;
}

void TurnController::OnManualMode() {
    m_manualMode = true;
    m_player2.SetLastOutput("p");
    m_view.SetOutputText(2, "MANUAL");
}

void TurnController::OnDropColumn(int column) {
    if (m_turn == 2 && m_manualMode) {
        m_player2.SetLastOutput(std::to_string(column), 1);
        OnGo();
    }
}

void TurnController::OnReset() {
    ResetGame();
}

void TurnController::ResetGame() {
    m_player1.Printf("%s\r\n", "0");
    m_player2.Printf("%s\r\n", "0");

    m_view.ShowBanner(IDB_BLANK_BANNER);
    m_board.Clear();
    // Every cell, the never-shown index 0 included.
    for (int column = 0; column <= Board::kColumns; ++column) {
        for (int row = 0; row <= Board::kRows; ++row) {
            m_view.ShowCell(column, row, IDB_EMPTY_HOLE);
        }
    }

    m_turn = 0;
    m_manualMode = false;
    m_player1.ClearOutputFlag();
    m_player2.ClearOutputFlag();
    m_view.SetOutputText(1, "");
    m_view.SetOutputText(2, "");
}

void TurnController::ApplyMove(const std::string& moveText, int player) {
    const std::int32_t column = ReadMoveNumber(moveText);
    m_log << column << std::flush;

    const std::optional<std::int32_t> row = m_board.Drop(column, player);
    if (!row) {
        AnnounceResult(ResultError);
        return;
    }
    m_view.ShowCell(column, *row, player == 1 ? IDB_PLAYER1_DISC : IDB_PLAYER2_DISC);
}

void TurnController::CheckBoard() {
    for (const ResultKind kind : m_board.CheckBoard()) {
        AnnounceResult(kind);
    }
}

void TurnController::AnnounceResult(ResultKind kind) {
    if (kind < ResultError || kind > ResultTie) {
        return;
    }
    const Announcement& a = kAnnouncements[kind];
    m_player1.Printf("%s\r\n", ResultLine(kind));
    m_player2.Printf("%s\r\n", ResultLine(kind));
    m_view.InsertStatus(a.status);
    m_view.ShowBanner(a.bitmap);
}
