#pragma once

#include <cstdint>

// Style bits of dialog templates and controls, under the names the dialog layouts use. The values
// are the conventional ones, so a layout can be copied from its original notation unchanged. Only
// the bits listed here mean anything to the window-services layer; any other bit is kept and
// reported back by CWnd::GetStyle but changes nothing.

// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000u;
inline constexpr std::uint32_t WS_HSCROLL = 0x00100000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000u;
inline constexpr std::uint32_t WS_GROUP = 0x00020000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
// On a top-level window the group and tab-stop bits mean the minimise and maximise buttons.
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;

// Extended window styles.
inline constexpr std::uint32_t WS_EX_DLGMODALFRAME = 0x00000001u;
inline constexpr std::uint32_t WS_EX_TRANSPARENT = 0x00000020u;
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200u;
inline constexpr std::uint32_t WS_EX_STATICEDGE = 0x00020000u;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000u;

// Dialog styles.
inline constexpr std::uint32_t DS_FIXEDSYS = 0x0008u;
inline constexpr std::uint32_t DS_SETFONT = 0x0040u;
inline constexpr std::uint32_t DS_MODALFRAME = 0x0080u;

// Edit styles.
inline constexpr std::uint32_t ES_LEFT = 0x0000u;
inline constexpr std::uint32_t ES_CENTER = 0x0001u;
inline constexpr std::uint32_t ES_RIGHT = 0x0002u;
inline constexpr std::uint32_t ES_MULTILINE = 0x0004u;
inline constexpr std::uint32_t ES_AUTOVSCROLL = 0x0040u;
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080u;
inline constexpr std::uint32_t ES_READONLY = 0x0800u;
inline constexpr std::uint32_t ES_WANTRETURN = 0x1000u;

// Static styles. The low five bits are the type: SS_LEFT .. SS_OWNERDRAW are types, not flags.
inline constexpr std::uint32_t SS_LEFT = 0x0000u;
inline constexpr std::uint32_t SS_CENTER = 0x0001u;
inline constexpr std::uint32_t SS_RIGHT = 0x0002u;
inline constexpr std::uint32_t SS_ICON = 0x0003u;
inline constexpr std::uint32_t SS_OWNERDRAW = 0x000Du;
inline constexpr std::uint32_t SS_BITMAP = 0x000Eu;
inline constexpr std::uint32_t SS_TYPEMASK = 0x001Fu;
inline constexpr std::uint32_t SS_NOPREFIX = 0x0080u;
inline constexpr std::uint32_t SS_CENTERIMAGE = 0x0200u;
inline constexpr std::uint32_t SS_SUNKEN = 0x1000u;

// Button styles. The low four bits are the type.
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0000u;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001u;
inline constexpr std::uint32_t BS_GROUPBOX = 0x0007u;
inline constexpr std::uint32_t BS_TYPEMASK = 0x000Fu;

// Command ids with a meaning of their own in every dialog.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Window-menu command of the dialog's own close item; OnSysCommand compares ids with their low
// four bits cleared.
inline constexpr unsigned SC_CLOSE = 0xF060u;
