// The "TableProperties" dialog: the appearance of the table as a whole.
#ifndef LINTARO_DIALOGS_TABLE_PROPERTIES_DIALOG_WIN32_H
#define LINTARO_DIALOGS_TABLE_PROPERTIES_DIALOG_WIN32_H

#include <windows.h>

#include "grid/grid_records.h"

// What the dialog edits: the table style and how the table goes onto paper.
struct TableLook {
    TableStyle style;
    PrintOptions options;
};

// Lets the user edit the title band, lines, cell height, page numbers and what every page
// repeats, the page-number wording, the key columns and fitting to the width, in a modal dialog
// owned by `owner`. `look` changes only when the user presses OK, which is what the result
// says. Values no list entry stands for stay as they were unless the user picks another entry.
[[nodiscard]] bool Dialog_TableProperties(HWND owner, TableLook& look);

#endif
