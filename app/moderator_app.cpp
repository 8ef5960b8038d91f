#include "app/moderator_app.h"

#include "ui/moderator_dlg.h"

// Constructed during static initialisation, before main() runs.
CModeratorApp theApp;

CModeratorApp::CModeratorApp() = default;

CModeratorApp::~CModeratorApp() = default;

bool CModeratorApp::InitInstance() {
    // The dialog lives in this scope only: when its modal run ends, its members go in reverse
    // order, the bots' channels among them, before the program ends.
    CModeratorDlg dlg;
    dlg.DoModal();
    return false;
}
