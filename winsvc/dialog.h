#pragma once

#include <QIcon>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "winsvc/dialog_template.h"
#include "winsvc/window_menu.h"
#include "winsvc/wnd.h"

class CDataExchange;
class DialogWindow;
class QEventLoop;

// A modal dialog built from a DialogTemplate. The object outlives its window: DoModal creates the
// window and its controls, runs until the dialog ends and destroys them again; the references
// GetDlgItem hands out stay valid (and empty) as long as the object lives.
//
// A dialog class derives from CDialog, passes its layout to the constructor, maps the clicks of
// its buttons to handlers with MapCommand (its "message map"), and overrides DoDataExchange and
// OnInitDialog as needed:
//
//     CAboutDlg::CAboutDlg() : CDialog(AboutDialogTemplate()) {}
//     CMyDlg::CMyDlg(CWnd* parent) : CDialog(MyDialogTemplate(), parent) {
//         MapCommand(101, &CMyDlg::OnGo);
//         MapCommand(1031, [this] { OnDropColumn(1); });
//     }
//
// Keys: Escape, the close box and a push button with id IDCANCEL run the IDCANCEL command (by
// default OnCancel); Enter presses the focused push button, or runs IDOK (by default OnOK) when no
// push button has the focus. No button is a default button.
//
// Window thread only.
class CDialog : public CWnd {
public:
    // `tmpl` is copied. `parent` is the window the dialog belongs to; without one the active
    // modal window, if any, is used (the dialog then opens centred over it).
    explicit CDialog(const DialogTemplate& tmpl, CWnd* parent = nullptr);
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    ~CDialog() override;

    // Creates the window and every control, calls OnInitDialog, shows the window modally and runs
    // a message loop until EndDialog, then destroys the window and its controls and returns the
    // end code. -1 when the dialog is already running or the loop ended without EndDialog (the
    // application quit).
    int DoModal();
    // Ends the modal loop with `result` as DoModal's result; the window hides at once.
    void EndDialog(int result);

    // Called once the window and all its controls exist, before the window is shown. The base
    // runs the first data exchange (UpdateData(false)) and returns true; true puts the keyboard
    // focus on the first WS_TABSTOP control.
    virtual bool OnInitDialog();
    // Exchanges the members with the controls (DDX_ / DDV_ calls). The base does nothing.
    virtual void DoDataExchange(CDataExchange* dx);
    // Runs DoDataExchange: `save` true stores the controls into the members, false fills the
    // controls. 1 on success, 0 when a validation failed (or there is no window).
    int UpdateData(bool save = true);
    // The reference to the first control with `id`, in layout order; null when the layout has no
    // such control. The pointer is stable for the dialog object's life; the reference is bound
    // while the window exists.
    CWnd* GetDlgItem(int id);

    // Stores the fields (UpdateData(true)) and ends with IDOK only if that succeeded.
    virtual void OnOK();
    // Ends with IDCANCEL.
    virtual void OnCancel();
    // A window-menu item was chosen. The base closes the dialog for SC_CLOSE (the IDCANCEL
    // command) and ignores everything else. `param` is passed on untouched.
    virtual void OnSysCommand(unsigned id, std::intptr_t param);

    // The "message map": a click on the push button `id` (or the command `id` sent otherwise)
    // runs `handler`. A mapping for IDOK or IDCANCEL replaces the OnOK / OnCancel default.
    void MapCommand(int id, std::function<void()> handler);
    template <class D>
    void MapCommand(int id, void (D::*handler)()) {
        MapCommand(id, [this, handler] { (static_cast<D*>(this)->*handler)(); });
    }
    // Runs command `id` as a click would: the mapped handler, else OnOK / OnCancel for IDOK /
    // IDCANCEL; false when nothing handles it.
    bool OnCommand(int id);

    // The window menu (opened by a right click on the dialog's background). Null while the
    // window does not exist (outside DoModal), like a window without a menu.
    CWindowMenu* GetSystemMenu();
    // Sets the window's icon; `big` picks the large or the small one, which here are the same
    // window icon. Kept across runs.
    void SetIcon(const QIcon& icon, bool big);

    const DialogTemplate& Template() const { return m_template; }

private:
    friend class DialogWindow;

    void CreateControls();
    void DestroyWindow();
    void OnEnterKey();

    DialogTemplate m_template;
    CWnd* m_parentWnd;  // not owned; its window is looked up when DoModal runs
    std::vector<std::unique_ptr<CWnd>> m_items;  // one per control, in layout order
    std::map<int, std::function<void()>> m_commands;
    CWindowMenu m_windowMenu;
    QIcon m_icon;
    DialogWindow* m_window = nullptr;  // owned while DoModal runs
    QEventLoop* m_loop = nullptr;      // the running modal loop
    bool m_ended = false;
    int m_result = -1;
};
