// The "Sort" dialog: the key column, the order and how the keys are read.
#ifndef LINTARO_DIALOGS_SORT_DIALOG_WIN32_H
#define LINTARO_DIALOGS_SORT_DIALOG_WIN32_H

#include <windows.h>

#include "dialogs/dialog_helpers.h"
#include "grid/grid_model.h"
#include "grid/sort_filter.h"

// The order list: 1 ascending, 2 descending.
extern const OptionEntry kSortOrderOptions[];
// The data-type list of the sort and filter dialogs: 1 text, 2 number; a request stores key - 1.
extern const OptionEntry kKeyTypeOptions[];

// Offers the visible columns of `columns` other than the row-number column (the first one
// chosen), the request's order and data type, in a modal dialog owned by `owner`. On OK the
// request takes the chosen grid column index, order and type; with no column to offer it takes
// column 0. `request` changes only when the user presses OK, which is what the result says.
bool Dialog_Sort(HWND owner, const GridModel& columns, SortRequest& request);

#endif
