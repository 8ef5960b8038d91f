#pragma once

#include <QDialog>

class CDialog;

// The top-level window of a running CDialog. It hands the keys and window actions that end or
// drive a dialog to its CDialog: Escape and the close box run the IDCANCEL command, Enter presses
// the focused push button or runs IDOK, a right click on the background opens the window menu.
// Its size is fixed.
//
// Window thread only.
class DialogWindow : public QDialog {
    Q_OBJECT

public:
    DialogWindow(CDialog& dialog, QWidget* parent);

    // Ends nothing by itself: the close box and QDialog's own reject paths go to the IDCANCEL
    // command, which decides.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CDialog& m_dialog;
};
