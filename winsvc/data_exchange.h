#pragma once

#include <string>

class CDialog;
class CWnd;
class QWidget;

// One run of a dialog's data exchange (CDialog::UpdateData): its direction, and whether it has
// failed. Once failed, every later DDX_ / DDV_ call of the same run does nothing, so an exchange
// stops at the field that failed; the focus goes to that field.
//
// Window thread only.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate);

    // true: store the controls into the members; false: fill the controls from the members.
    bool m_bSaveAndValidate;
    CDialog* m_pDlgWnd;

    bool Failed() const { return m_failed; }
    // Marks the exchange as failed and puts the focus on the last control prepared.
    void Fail();

    // The control `id` of the dialog, remembered as the one a following DDV_ call checks; null
    // when there is none.
    QWidget* PrepareCtrl(int id);
    QWidget* LastControl() const;

private:
    int m_lastControlId = 0;
    bool m_hasLastControl = false;
    bool m_failed = false;
};

// Control `id` <-> `value` (UTF-8): filling sets the control's text (CWnd::SetWindowText),
// storing copies it into `value`.
void DDX_Text(CDataExchange* dx, int id, std::string& value);
// Filling: limits the edit of the preceding DDX_Text to `maxChars` characters (a longer text
// already in it is kept whole). Storing: a `value` longer than `maxChars` characters is refused
// with a warning box and fails the exchange.
void DDV_MaxChars(CDataExchange* dx, const std::string& value, int maxChars);
// Binds `control` to the dialog's control `id` (CWnd::SubclassWindow, which calls its
// PreSubclassWindow) when it is not bound yet, in either direction; later exchanges leave it
// alone.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
