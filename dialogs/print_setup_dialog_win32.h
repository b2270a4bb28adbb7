// The "PrintSetup" dialog: where printing goes, the paper, the margins and the dot-matrix options.
#ifndef LINTARO_DIALOGS_PRINT_SETUP_DIALOG_WIN32_H
#define LINTARO_DIALOGS_PRINT_SETUP_DIALOG_WIN32_H

#include <windows.h>

#include "base/print_settings.h"

// Edits a copy of `settings` in a modal dialog owned by `owner`: the target (Windows' default
// printer, another Windows printer chosen from the installed ones, or the dot-matrix printer on
// LPT1), the six sizes, the orientation, the dot-matrix model and mode, manual paper feed and
// DOS Cyrillic. A Windows printer's paper size comes from its driver and its margins may not be
// narrower than its unprintable strips: OK refuses them with a message and keeps the dialog
// open. `settings` changes only on OK, which is what the result says.
[[nodiscard]] bool Dialog_PrintSetup(HWND owner, PrintSettings& settings);

#endif
