#pragma once

#include <cstdint>

#include "winsvc/dialog_template.h"
#include "winsvc/dialog_units.h"

class QWidget;

// The widgets behind the controls of a layout, and the style bits each carries.
//
// Window thread only.

// Creates the widget for `control` as a visible child of `parent`, at its rectangle converted by
// `units`, with its id and style bits recorded on it (CWnd::GetDlgCtrlID, GetStyle):
// - Edit: a single-line QLineEdit, or with ES_MULTILINE a PaneEdit (read-only with ES_READONLY);
// - PushButton: a QPushButton that is never a default button;
// - GroupBox: a QGroupBox that lets the mouse through to the controls it frames;
// - Static: a StaticControl; SS_BITMAP and SS_ICON load their image from the program's resources
//   and take the image's own size (an icon the large icon size), keeping their top-left.
// WS_TABSTOP controls take the focus by Tab and click, other edits only by click, everything else
// never; WS_DISABLED disables, WS_BORDER frames the edits.
QWidget* CreateDialogControl(const DialogControl& control, const DialogUnits& units,
                             QWidget* parent);

// The id and style bits recorded on a control's widget (0 for a widget without them).
int ControlId(const QWidget* widget);
std::uint32_t ControlStyle(const QWidget* widget);
std::uint32_t ControlExStyle(const QWidget* widget);
void SetControlId(QWidget* widget, int id);
void SetControlStyle(QWidget* widget, std::uint32_t style, std::uint32_t exStyle);

// The large icon size of the platform's dialogs, in pixels.
inline constexpr int kLargeIconSize = 32;
