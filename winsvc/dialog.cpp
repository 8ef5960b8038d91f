#include "winsvc/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QPushButton>

#include "winsvc/data_exchange.h"
#include "winsvc/dialog_controls.h"
#include "winsvc/dialog_units.h"
#include "winsvc/dialog_window.h"
#include "winsvc/window_styles.h"

CDialog::CDialog(const DialogTemplate& tmpl, CWnd* parent) : m_template(tmpl), m_parentWnd(parent) {
    m_items.reserve(m_template.controls.size());
    for (std::size_t i = 0; i < m_template.controls.size(); ++i) {
        m_items.push_back(std::make_unique<CWnd>());
    }
}

CDialog::~CDialog() {
    DestroyWindow();
}

int CDialog::DoModal() {
    if (m_window != nullptr) {
        return -1;
    }
    QWidget* parent = m_parentWnd != nullptr ? m_parentWnd->Widget() : nullptr;
    if (parent == nullptr) {
        parent = QApplication::activeModalWidget();
    }
    m_ended = false;
    m_result = -1;
    m_window = new DialogWindow(*this, parent);
    Attach(m_window);
    CreateControls();

    if (OnInitDialog() && !m_ended) {
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            QWidget* control = m_items[i]->Widget();
            if ((m_template.controls[i].style & WS_TABSTOP) != 0 && control != nullptr &&
                control->isEnabled()) {
                control->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    if (!m_ended) {
        m_window->setWindowModality(Qt::ApplicationModal);
        m_window->show();
        m_window->activateWindow();
        QEventLoop loop;
        m_loop = &loop;
        // EndDialog may already have run while the window was being shown.
        if (!m_ended) {
            loop.exec(QEventLoop::DialogExec);
        }
        m_loop = nullptr;
    }
    const int result = m_ended ? m_result : -1;
    DestroyWindow();
    return result;
}

void CDialog::EndDialog(int result) {
    m_result = result;
    m_ended = true;
    if (m_window != nullptr) {
        m_window->hide();
    }
    if (m_loop != nullptr) {
        m_loop->exit(0);
    }
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange* /*dx*/) {}

int CDialog::UpdateData(bool save) {
    if (m_window == nullptr) {
        return 0;
    }
    CDataExchange dx(this, save);
    DoDataExchange(&dx);
    return dx.Failed() ? 0 : 1;
}

CWnd* CDialog::GetDlgItem(int id) {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_template.controls[i].id == id) {
            return m_items[i].get();
        }
    }
    return nullptr;
}

void CDialog::OnOK() {
    if (UpdateData(true) == 0) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnSysCommand(unsigned id, std::intptr_t /*param*/) {
    if ((id & 0xFFF0u) == SC_CLOSE) {
        OnCommand(IDCANCEL);
    }
}

void CDialog::MapCommand(int id, std::function<void()> handler) {
    m_commands[id] = std::move(handler);
}

bool CDialog::OnCommand(int id) {
    const auto mapped = m_commands.find(id);
    if (mapped != m_commands.end()) {
        // A copy: the handler may remap its own command while it runs.
        const std::function<void()> handler = mapped->second;
        handler();
        return true;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

CWindowMenu* CDialog::GetSystemMenu() {
    return m_window != nullptr ? &m_windowMenu : nullptr;
}

void CDialog::SetIcon(const QIcon& icon, bool /*big*/) {
    m_icon = icon;
    if (m_window != nullptr) {
        m_window->setWindowIcon(icon);
    }
}

void CDialog::CreateControls() {
    const QSize size(m_template.width, m_template.height);
    const DialogUnits units =
        DialogUnits::ForLayout(m_template.pointSize, size, m_window->screen());
    m_window->setFont(units.ScaledFont(DialogUnits::DialogFont(m_template.pointSize)));
    m_window->setWindowTitle(QString::fromStdString(m_template.caption));
    if (!m_icon.isNull()) {
        m_window->setWindowIcon(m_icon);
    }
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if ((m_template.style & WS_SYSMENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((m_template.style & WS_MINIMIZEBOX) != 0) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if ((m_template.style & WS_MAXIMIZEBOX) != 0) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    m_window->setWindowFlags(flags);
    m_window->setFixedSize(units.ToPixels(size));
    SetControlStyle(m_window, m_template.style, m_template.exStyle);

    QWidget* previousTabStop = nullptr;
    for (std::size_t i = 0; i < m_template.controls.size(); ++i) {
        const DialogControl& control = m_template.controls[i];
        QWidget* widget = CreateDialogControl(control, units, m_window);
        m_items[i]->Attach(widget);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            const int id = control.id;
            QObject::connect(button, &QAbstractButton::clicked, m_window,
                             [this, id] { OnCommand(id); });
        }
        if ((control.style & WS_TABSTOP) != 0) {
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        }
        // The first control of a layout lies on top, the last at the bottom.
        widget->lower();
    }
}

void CDialog::DestroyWindow() {
    if (m_window == nullptr) {
        return;
    }
    DialogWindow* window = m_window;
    m_window = nullptr;
    m_windowMenu.Reset();
    // Deleting the window deletes its controls, which empties every reference to them.
    delete window;
    Attach(nullptr);
}

void CDialog::OnEnterKey() {
    QWidget* focus = m_window != nullptr ? m_window->focusWidget() : nullptr;
    if (auto* button = qobject_cast<QPushButton*>(focus)) {
        if (button->isEnabled()) {
            button->click();
        }
        return;
    }
    OnCommand(IDOK);
}
