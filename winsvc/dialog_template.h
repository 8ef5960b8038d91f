#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A dialog layout as plain data: what a dialog window is made of, in dialog units (see
// DialogUnits). Layouts are written once as constants and handed to CDialog, which builds the
// window from them every time it runs. Texts are UTF-8.

// The kinds of control a layout can hold.
enum class ControlKind {
    Edit,        // single-line edit, or with ES_MULTILINE a multi-line text pane
    PushButton,  // a push button; its click is the command of its id
    GroupBox,    // a frame with a title around other controls (BS_GROUPBOX)
    Static,      // text, bitmap (SS_BITMAP) or icon (SS_ICON), by its type bits
};

// One control of a layout.
struct DialogControl {
    int id = -1;  // -1: a control without an id of its own
    ControlKind kind = ControlKind::Static;
    std::string text;  // caption; ignored by SS_BITMAP and SS_ICON statics
    int x = 0;         // position and size in dialog units, from the client area's top-left
    int y = 0;
    int width = 0;
    int height = 0;
    std::uint32_t style = 0;    // WS_, ES_, SS_, BS_ bits of window_styles.h
    std::uint32_t exStyle = 0;  // WS_EX_ bits
    unsigned resourceId = 0;    // the bitmap (SS_BITMAP) or icon (SS_ICON) to show
};

// A whole dialog. The controls are created in this order, which is also the tab order of those
// with WS_TABSTOP and the stacking order (the first control lies on top, as the platform's dialogs
// do it).
struct DialogTemplate {
    int id = 0;  // the layout's own number, for reference only
    std::string caption;
    int width = 0;  // client area in dialog units
    int height = 0;
    int pointSize = 8;  // size of the dialog font (the family is the desktop's sans-serif)
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::vector<DialogControl> controls;
};
