#include "winsvc/data_exchange.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QString>

#include <algorithm>
#include <string_view>

#include "winsvc/dialog.h"
#include "winsvc/wnd.h"

CDataExchange::CDataExchange(CDialog* dialog, bool saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

void CDataExchange::Fail() {
    m_failed = true;
    if (QWidget* control = LastControl()) {
        control->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->selectAll();
        }
    }
}

QWidget* CDataExchange::PrepareCtrl(int id) {
    m_lastControlId = id;
    m_hasLastControl = true;
    return LastControl();
}

QWidget* CDataExchange::LastControl() const {
    if (!m_hasLastControl || m_pDlgWnd == nullptr) {
        return nullptr;
    }
    CWnd* item = m_pDlgWnd->GetDlgItem(m_lastControlId);
    return item != nullptr ? item->Widget() : nullptr;
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    if (dx->Failed()) {
        return;
    }
    dx->PrepareCtrl(id);
    CWnd* control = dx->m_pDlgWnd->GetDlgItem(id);
    if (control == nullptr || !control->IsWindow()) {
        return;
    }
    if (dx->m_bSaveAndValidate) {
        value = control->GetWindowText();
    } else {
        control->SetWindowText(std::string_view(value));
    }
}

void DDV_MaxChars(CDataExchange* dx, const std::string& value, int maxChars) {
    if (dx->Failed()) {
        return;
    }
    QWidget* control = dx->LastControl();
    if (dx->m_bSaveAndValidate) {
        // Characters, not bytes: the limit the edit enforces counts what the user typed.
        if (QString::fromStdString(value).size() > maxChars) {
            QMessageBox::warning(control != nullptr ? control->window() : nullptr, QString(),
                                 QStringLiteral("Enter no more than %1 characters.").arg(maxChars));
            dx->Fail();
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        // A longer text already in the edit stays whole (and is refused when stored) rather than
        // being cut without a word.
        edit->setMaxLength(std::max(maxChars, static_cast<int>(edit->text().size())));
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (dx->Failed() || control.IsWindow()) {
        return;
    }
    dx->PrepareCtrl(id);
    if (CWnd* item = dx->m_pDlgWnd->GetDlgItem(id)) {
        control.SubclassWindow(item->Widget());
    }
}
