#pragma once

#include "winsvc/dialog_template.h"

// The main window's layout (IDD_MODERATOR_DIALOG) and the About box's (IDD_ABOUTBOX), positions in
// dialog units. Built once, on first use; any thread may read them afterwards.
const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
