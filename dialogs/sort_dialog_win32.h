// The "Sort" dialog: the key column, the order and how the keys are read.
#ifndef LINTARO_DIALOGS_SORT_DIALOG_WIN32_H
#define LINTARO_DIALOGS_SORT_DIALOG_WIN32_H

#include <windows.h>

#include <vector>

#include "dialogs/dialog_helpers.h"
#include "grid/sort_requests.h"

// The order list: 1 ascending, 2 descending.
extern const OptionEntry kSortOrderOptions[];
// The data-type list of the sort and filter dialogs: 1 text, 2 number, 3 alphabetical, 4 amount,
// 5 date; a request stores key - 1.
extern const OptionEntry kKeyTypeOptions[];

// Offers `columns` (the first one chosen), the request's order and data type, in a modal
// dialog owned by `owner`. On OK the request takes the chosen column's key, the order and the
// type; with no column to offer OK does nothing. `request` changes only when the user presses
// OK, which is what the result says.
[[nodiscard]] bool Dialog_Sort(HWND owner, const std::vector<DialogChoice>& columns, SortRequest& request);

#endif
