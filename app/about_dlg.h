#pragma once

#include "winsvc/dialog.h"

// The About box: the program's icon, name and version, and an OK button. No behaviour beyond
// the base dialog's.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;
};
