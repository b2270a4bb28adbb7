// The "Filter" dialog: the tested column, the inclusive range and how the keys are read.
#ifndef LINTARO_DIALOGS_FILTER_DIALOG_WIN32_H
#define LINTARO_DIALOGS_FILTER_DIALOG_WIN32_H

#include <windows.h>

#include <vector>

#include "dialogs/dialog_helpers.h"
#include "grid/sort_requests.h"

// Offers `columns` (the first one chosen), two empty bound fields and the request's data type,
// in a modal dialog owned by `owner`. On OK the request takes the chosen column's key, the
// bounds as typed (at most 126 characters each, blanks kept, empty allowed) and the type; with
// no column to offer OK does nothing. `request` changes only when the user presses OK, which
// is what the result says.
[[nodiscard]] bool Dialog_Filter(HWND owner, const std::vector<DialogChoice>& columns, FilterRequest& request);

#endif
