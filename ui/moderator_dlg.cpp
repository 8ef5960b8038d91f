// The moderator window: binding the layout's controls, start-up, the window menu, and the
// controller's view of the window.

#include "ui/moderator_dlg.h"

#include "app/about_dlg.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "winsvc/data_exchange.h"

CModeratorDlg::CModeratorDlg(CWnd* parent)
    : CDialog(MainDialogTemplate(), parent), m_icon(LoadIconResource(IDR_MAINFRAME)) {
    MapCommand(IDC_GO, &CModeratorDlg::OnGo);
    MapCommand(IDC_LOAD_PLAYERS, &CModeratorDlg::OnLoadPlayers);
    MapCommand(IDC_MANUAL_MODE, &CModeratorDlg::OnManualMode);
    MapCommand(IDC_RESET, &CModeratorDlg::OnReset);
    for (int column = 1; column <= 7; ++column) {
        MapCommand(IDC_DROP[column - 1], [this, column] { OnDropColumn(column); });
    }
}

// The members go in reverse order of declaration: the controller, the command lines, the log
// (flushed and closed), player 2's channel and then player 1's (each stops its reader and closes
// its pipes; the bots keep running and see end of file), then the banner and the cells.
CModeratorDlg::~CModeratorDlg() = default;

void CModeratorDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_PATH1, m_path1);
    DDV_MaxChars(dx, m_path1, 255);
    DDX_Text(dx, IDC_PATH2, m_path2);
    DDV_MaxChars(dx, m_path2, 255);
    for (int row = 1; row <= Board::kRows; ++row) {
        for (int column = 1; column <= Board::kColumns; ++column) {
            DDX_Control(dx, CellControlId(column, row), m_cells[column][row]);
        }
    }
    DDX_Control(dx, IDC_BANNER, m_banner);
}

bool CModeratorDlg::OnInitDialog() {
    // The cells must exist before the first data exchange binds them to their controls.
    BuildBoard();
    CDialog::OnInitDialog();
    UpdateBannerVisibility();

    m_controller.Start();

    // Appended to across games and runs, never truncated. Whether it opened is not examined: a
    // log that cannot be written changes nothing else.
    m_log.open("log.txt", std::ios::out | std::ios::app);

    if (CWindowMenu* menu = GetSystemMenu()) {
        const QString about = LoadStringResource(IDS_ABOUTBOX);
        if (!about.isEmpty()) {
            menu->AppendSeparator();
            menu->AppendItem(IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_icon, true);
    SetIcon(m_icon, false);
    return true;
}

void CModeratorDlg::OnSysCommand(unsigned id, std::intptr_t param) {
    // The low four bits of a window-menu command are the system's own.
    if ((id & 0xFFF0u) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(id, param);
}

void CModeratorDlg::BuildBoard() {
    m_cells = std::vector<std::vector<CBitmapCell>>(
        Board::kColumns + 1, std::vector<CBitmapCell>(Board::kRows + 1, CBitmapCell()));
    m_controller.ResetGame();
}

void CModeratorDlg::TakeFields() {
    UpdateData(true);
}

std::string CModeratorDlg::CommandLine(int player) const {
    return player == 1 ? m_path1 : m_path2;
}

void CModeratorDlg::InsertStatus(const std::string& text) {
    GetDlgItem(IDC_STATUS)->ReplaceSel(text);
}

void CModeratorDlg::SetOutputText(int player, const char* text) {
    GetDlgItem(player == 1 ? IDC_OUTPUT1 : IDC_OUTPUT2)->SetWindowText(text);
}

ITextPane* CModeratorDlg::OutputPane(int player) {
    return GetDlgItem(player == 1 ? IDC_OUTPUT1 : IDC_OUTPUT2);
}

void CModeratorDlg::ShowCell(int column, int row, unsigned bitmapId) {
    m_cells[column][row].ShowBitmap(bitmapId);
}

void CModeratorDlg::ShowBanner(unsigned bitmapId) {
    m_banner.ShowBitmap(bitmapId);
    UpdateBannerVisibility();
}

void CModeratorDlg::UpdateBannerVisibility() {
    if (QWidget* banner = m_banner.Widget()) {
        banner->setVisible(m_banner.ResourceId() != static_cast<int>(IDB_BLANK_BANNER));
    }
}
