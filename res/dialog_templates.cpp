#include "res/dialog_templates.h"

#include "res/resource_ids.h"
#include "winsvc/window_styles.h"

namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kCommandLine = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr std::uint32_t kPane =
    kChild | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
constexpr std::uint32_t kButton = kChild | WS_TABSTOP;
constexpr std::uint32_t kGroup = kChild | BS_GROUPBOX;
constexpr std::uint32_t kDialogStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;

constexpr const char* kFirstHelp =
    "Allows two computer A.I.s to play fourfall against each other. Load both programs by "
    "specifying their paths in the boxes below and clicking load. Once both are loaded (display "
    "p) use the go button to advance turns.";
constexpr const char* kSecondHelp =
    "Use the reset button to start a new game. Players alternate going first each round. Player "
    "2 can be human controled by clicking the manual button before loading players. Use the "
    "choose drop buttons to make your move.";

DialogControl Control(int id, ControlKind kind, std::string text, int x, int y, int width,
                      int height, std::uint32_t style, std::uint32_t exStyle = 0,
                      unsigned resourceId = 0) {
    return DialogControl{id,    kind,   std::move(text), x,       y,
                         width, height, style,           exStyle, resourceId};
}

DialogTemplate BuildMainDialog() {
    DialogTemplate t;
    t.id = IDD_MODERATOR_DIALOG;
    t.caption = "Fourfall Moderator";
    t.width = 840;
    t.height = 466;
    t.pointSize = 8;
    t.style = kDialogStyle;
    t.exStyle = WS_EX_APPWINDOW;

    auto& c = t.controls;
    c.push_back(Control(IDC_PATH1, ControlKind::Edit, "", 13, 138, 146, 13, kCommandLine));
    c.push_back(Control(IDCANCEL, ControlKind::PushButton, "&Quit", 717, 418, 116, 21, kButton));
    c.push_back(Control(IDC_PATH2, ControlKind::Edit, "", 13, 284, 146, 13, kCommandLine));
    c.push_back(Control(IDC_OUTPUT1, ControlKind::Edit, "", 13, 156, 147, 102, kPane));
    c.push_back(Control(IDC_OUTPUT2, ControlKind::Edit, "", 14, 302, 146, 106, kPane));
    c.push_back(Control(IDC_STATUS, ControlKind::Edit, "", 717, 10, 116, 325, kPane));
    c.push_back(Control(IDC_GO, ControlKind::PushButton, "Go", 717, 343, 116, 44, kButton));
    c.push_back(Control(-1, ControlKind::GroupBox, "", 179, 7, 521, 425, kGroup,
                        WS_EX_STATICEDGE | WS_EX_TRANSPARENT | WS_EX_DLGMODALFRAME));
    c.push_back(Control(IDC_BANNER, ControlKind::Static, "", 376, 162, 132, 60,
                        kChild | SS_LEFT | SS_SUNKEN));
    // The board cells, bottom row first, each row left to right: ids 11 to 52 in order.
    for (int row = 1; row <= 6; ++row) {
        for (int column = 1; column <= 7; ++column) {
            c.push_back(Control(CellControlId(column, row), ControlKind::Static, "",
                                188 + 72 * (column - 1), 348 - 62 * (row - 1), 70, 61,
                                kChild | SS_LEFT | WS_GROUP));
        }
    }
    c.push_back(Control(-1, ControlKind::GroupBox, "Player 1", 7, 126, 160, 138, kGroup));
    c.push_back(Control(-1, ControlKind::GroupBox, "Player 2", 7, 271, 160, 161, kGroup));
    c.push_back(
        Control(-1, ControlKind::Static, "", 401, 16, 77, 17, kChild | SS_BITMAP, 0, IDB_TITLE));
    c.push_back(Control(-1, ControlKind::Static, "A referee for four-in-a-row bots", 386, 439, 117,
                        8, kChild | SS_LEFT));
    c.push_back(
        Control(-1, ControlKind::Static, "Made with Qt 6", 405, 450, 74, 8, kChild | SS_LEFT));
    c.push_back(Control(-1, ControlKind::GroupBox, "", 7, 4, 160, 120, kGroup));
    c.push_back(Control(-1, ControlKind::Static, "Fourfall Moderator", 42, 7, 79, 8,
                        kChild | SS_CENTER | SS_CENTERIMAGE));
    c.push_back(Control(-1, ControlKind::Static, kFirstHelp, 8, 18, 158, 44, kChild | SS_CENTER));
    c.push_back(Control(IDC_LOAD_PLAYERS, ControlKind::PushButton, "Load Players", 12, 435, 150, 14,
                        kButton));
    for (int column = 1; column <= 7; ++column) {
        c.push_back(Control(IDC_DROP[column - 1], ControlKind::PushButton, "Drop Here",
                            188 + 72 * (column - 1), 412, 70, 14, kButton));
    }
    c.push_back(Control(IDC_MANUAL_MODE, ControlKind::PushButton, "Manual Mode =>", 30, 413, 108,
                        14, kButton));
    c.push_back(Control(IDC_RESET, ControlKind::PushButton, "Reset", 717, 392, 116, 21, kButton));
    c.push_back(Control(-1, ControlKind::Static, kSecondHelp, 11, 62, 150, 43, kChild | SS_CENTER));
    c.push_back(Control(-1, ControlKind::Static, "See Readme about creating compatible bots", 14,
                        109, 146, 12, kChild | SS_CENTER));
    return t;
}

DialogTemplate BuildAboutDialog() {
    DialogTemplate t;
    t.id = IDD_ABOUTBOX;
    t.caption = "About Pipewell";
    t.width = 235;
    t.height = 55;
    t.pointSize = 8;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;

    auto& c = t.controls;
    c.push_back(
        Control(-1, ControlKind::Static, "", 11, 17, 20, 20, kChild | SS_ICON, 0, IDR_MAINFRAME));
    c.push_back(Control(-1, ControlKind::Static, "Fourfall Moderator 1.2", 38, 16, 119, 8,
                        kChild | SS_NOPREFIX));
    c.push_back(Control(-1, ControlKind::Static, "A referee for four-in-a-row bots", 40, 25, 119, 8,
                        kChild | SS_LEFT));
    c.push_back(Control(IDOK, ControlKind::PushButton, "OK", 178, 32, 50, 16,
                        kChild | BS_DEFPUSHBUTTON | WS_TABSTOP));
    return t;
}

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate tmpl = BuildMainDialog();
    return tmpl;
}

const DialogTemplate& AboutDialogTemplate() {
    static const DialogTemplate tmpl = BuildAboutDialog();
    return tmpl;
}
