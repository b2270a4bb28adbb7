// The "Filter" dialog: the tested column, the inclusive range and how the keys are read.
#ifndef LINTARO_DIALOGS_FILTER_DIALOG_WIN32_H
#define LINTARO_DIALOGS_FILTER_DIALOG_WIN32_H

#include <windows.h>

#include "grid/grid_model.h"
#include "grid/sort_filter.h"

// Offers every visible column of `columns`, row numbers included (the first one chosen), two
// empty bound fields and the request's data type, in a modal dialog owned by `owner`. On OK
// the request takes the chosen grid column index, the bounds as typed (at most 126 characters
// each, blanks kept, empty allowed) and the type. `request` changes only when the user presses
// OK, which is what the result says.
bool Dialog_Filter(HWND owner, const GridModel& columns, FilterRequest& request);

#endif
