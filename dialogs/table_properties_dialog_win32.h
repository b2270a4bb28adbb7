// The "TableProperties" dialog: the appearance of the table as a whole.
#ifndef LINTARO_DIALOGS_TABLE_PROPERTIES_DIALOG_WIN32_H
#define LINTARO_DIALOGS_TABLE_PROPERTIES_DIALOG_WIN32_H

#include <windows.h>

#include "grid/grid_records.h"

// Lets the user edit the title band, lines, cell height, page numbers and what every page
// repeats, in a modal dialog owned by `owner`. `style` changes only when the user presses OK,
// which is what the result says. Values no list entry stands for stay as they were unless the
// user picks another entry.
[[nodiscard]] bool Dialog_TableProperties(HWND owner, TableStyle& style);

#endif
