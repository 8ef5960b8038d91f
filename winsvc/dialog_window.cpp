#include "winsvc/dialog_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <optional>

#include "winsvc/dialog.h"
#include "winsvc/window_styles.h"

DialogWindow::DialogWindow(CDialog& dialog, QWidget* parent) : QDialog(parent), m_dialog(dialog) {}

void DialogWindow::reject() {
    m_dialog.OnCommand(IDCANCEL);
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    // Keys reach the dialog when the focused control has not used them: line edits, read-only
    // panes and non-default buttons all pass Enter and Escape on.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
            case Qt::Key_Escape:
                event->accept();
                m_dialog.OnCommand(IDCANCEL);
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                event->accept();
                m_dialog.OnEnterKey();
                return;
            default:
                break;
        }
    }
    // Not QDialog's handling, which would close on Escape and press default buttons: a key the
    // dialog does not use goes on to the window's parent, if any.
    event->ignore();
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    // The window stays until the dialog ends; the dialog decides through its IDCANCEL command.
    event->ignore();
    m_dialog.OnCommand(IDCANCEL);
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    CWindowMenu* windowMenu = m_dialog.GetSystemMenu();
    if (windowMenu == nullptr) {
        return;
    }
    QMenu menu(this);
    windowMenu->Populate(menu);
    std::optional<unsigned> chosen;
    connect(&menu, &QMenu::triggered, this,
            [&chosen](QAction* action) { chosen = action->data().toUInt(); });
    menu.exec(event->globalPos());
    // The command runs after the menu has closed, so that it may open a dialog of its own.
    if (chosen) {
        m_dialog.OnSysCommand(*chosen, 0);
    }
}
