// The "ColumnProperties" dialog: title, alignment, bold print, text flow with its line limit,
// abbreviation and summing, column by column.
#ifndef LINTARO_DIALOGS_COLUMN_PROPERTIES_DIALOG_WIN32_H
#define LINTARO_DIALOGS_COLUMN_PROPERTIES_DIALOG_WIN32_H

#include <windows.h>

#include <vector>

#include "grid/grid_records.h"

// Lets the user edit the visible columns among `columns` (one record per grid column, in
// column order) in a modal dialog owned by `owner`; any number of columns in one visit. The
// records change only when the user presses OK, which is what the result says; hidden columns
// and the column types are never changed. Column `row_number_column` (-1: none) shows the row
// numbers and, like picture columns, is never summed.
[[nodiscard]] bool Dialog_ColumnProperties(HWND owner, std::vector<GridColumnInfo>& columns, int row_number_column);

#endif
