#pragma once

// The numbers by which the program finds its layouts, controls, images, icon and strings.

// Layouts.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_MODERATOR_DIALOG = 102;

// Icon and strings.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDS_ABOUTBOX = 101;

// The About item of the window menu.
inline constexpr unsigned IDM_ABOUTBOX = 16;

// Bitmaps.
inline constexpr unsigned IDB_PLAYER2_WINS = 46;
inline constexpr unsigned IDB_PLAYER1_DISC = 129;
inline constexpr unsigned IDB_PLAYER2_DISC = 130;
inline constexpr unsigned IDB_PLAYER1_WINS = 1011;
inline constexpr unsigned IDB_ERROR = 1012;
inline constexpr unsigned IDB_TITLE = 1013;
inline constexpr unsigned IDB_BLANK_BANNER = 1014;
inline constexpr unsigned IDB_EMPTY_HOLE = 1015;
inline constexpr unsigned IDB_TIE = 1016;

// Controls of the main window. The board cell of (column, row) is 7 * row + column + 3.
inline constexpr int IDC_BANNER = 54;
inline constexpr int IDC_GO = 101;
inline constexpr int IDC_PATH1 = 1000;
inline constexpr int IDC_MANUAL_MODE = 1004;
inline constexpr int IDC_PATH2 = 1005;
inline constexpr int IDC_OUTPUT1 = 1002;
inline constexpr int IDC_OUTPUT2 = 1007;
inline constexpr int IDC_STATUS = 1011;
inline constexpr int IDC_LOAD_PLAYERS = 1029;
inline constexpr int IDC_RESET = 1036;
// The Drop Here buttons under columns 1 to 7, in column order.
inline constexpr int IDC_DROP[7] = {1031, 1032, 1034, 1035, 1039, 1040, 1041};

inline constexpr int CellControlId(int column, int row) {
    return 7 * row + column + 3;
}
