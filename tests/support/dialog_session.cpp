#include "tests/support/dialog_session.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest/QTest>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "winsvc/dialog.h"
#include "winsvc/window_styles.h"

DialogSession::DialogSession() {
    char pattern[] = "/tmp/fourfall-dialog-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_dir = pattern;
    m_previousDir = std::filesystem::current_path().string();
    std::filesystem::current_path(m_dir);
}

DialogSession::~DialogSession() {
    std::error_code ignored;
    std::filesystem::current_path(m_previousDir, ignored);
    std::filesystem::remove_all(m_dir, ignored);
}

int DialogSession::Run(CDialog& dlg, const std::function<void()>& steps) {
    QTimer::singleShot(0, [&dlg, &steps] {
        // Keyboard focus and key presses need the window to be the active one.
        if (!QTest::qWaitForWindowActive(dlg.Widget())) {
            throw std::runtime_error("the dialog never became active");
        }
        steps();
        if (dlg.IsWindow() && dlg.Widget()->isVisible()) {
            dlg.OnCommand(IDCANCEL);
        }
    });
    return dlg.DoModal();
}

QWidget* DialogSession::Control(CDialog& dlg, int id) {
    CWnd* item = dlg.GetDlgItem(id);
    return item != nullptr ? item->Widget() : nullptr;
}

void DialogSession::Click(CDialog& dlg, int id) {
    QWidget* button = Control(dlg, id);
    if (button == nullptr) {
        throw std::logic_error("no such button");
    }
    QTest::mouseClick(button, Qt::LeftButton);
}

void DialogSession::Type(CDialog& dlg, int id, const std::string& text) {
    auto* edit = qobject_cast<QLineEdit*>(Control(dlg, id));
    if (edit == nullptr) {
        throw std::logic_error("no such edit");
    }
    edit->clear();
    QTest::keyClicks(edit, QString::fromStdString(text));
}

std::string DialogSession::Text(CDialog& dlg, int id) {
    QWidget* w = Control(dlg, id);
    if (auto* pane = qobject_cast<QPlainTextEdit*>(w)) {
        return pane->toPlainText().toStdString();
    }
    return dlg.GetDlgItem(id)->GetWindowText();
}

bool DialogSession::WaitFor(const std::function<bool()>& condition,
                            std::chrono::milliseconds timeout) {
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

std::string DialogSession::LogBytes() const {
    std::ifstream in(m_dir + "/log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
