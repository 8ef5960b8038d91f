#include "app/about_dlg.h"

#include "res/dialog_templates.h"

CAboutDlg::CAboutDlg() : CDialog(AboutDialogTemplate()) {}

CAboutDlg::~CAboutDlg() = default;
