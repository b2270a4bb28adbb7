// The "VisibleColumns" dialog: which of the grid's columns the table shows.
#ifndef LINTARO_DIALOGS_VISIBLE_COLUMNS_DIALOG_WIN32_H
#define LINTARO_DIALOGS_VISIBLE_COLUMNS_DIALOG_WIN32_H

#include <windows.h>

#include <cstdint>
#include <vector>

#include "dialogs/dialog_helpers.h"

// Lists every one of `columns` (line i is columns[i]) with the lines of `visible` (one byte per
// column, 1 visible) selected, in a modal dialog owned by `owner`. OK is refused with a message
// while no line is selected; on OK flag i says whether line i is selected. `visible` changes
// only when the user presses OK, which is what the result says.
[[nodiscard]] bool Dialog_VisibleColumns(HWND owner, const std::vector<DialogChoice>& columns,
                                         std::vector<std::uint8_t>& visible);

#endif
