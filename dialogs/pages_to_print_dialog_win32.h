// The "PagesToPrint" dialog: which pages down and which column groups across, and how many copies.
#ifndef LINTARO_DIALOGS_PAGES_TO_PRINT_DIALOG_WIN32_H
#define LINTARO_DIALOGS_PAGES_TO_PRINT_DIALOG_WIN32_H

#include <windows.h>

#include <cstdint>

#include "dialogs/dialog_helpers.h"

// The pages a print command asks for; it fills the request before the dialog and prints what
// comes back, page numbers as typed (no range check). Six 32-bit fields, 1-based.
struct PageRequest {
    std::int32_t from_page;
    std::int32_t to_page;
    std::int32_t page_subset;        // 0 all pages, 1 odd pages, 2 even pages (margins swapped)
    std::int32_t column_group_from;  // groups of columns printed side by side on wide tables
    std::int32_t column_group_to;
    std::int32_t copies;
};
static_assert(sizeof(PageRequest) == 24, "PageRequest is six 32-bit fields");

// The page subset list: 1 all, 2 odd, 3 even; a request stores key - 1.
extern const OptionEntry kPageSubsetOptions[];

// Shows the request in a modal dialog owned by `owner`: the page range, the subset (always "all
// pages" at first), the column groups from .. to (both lists disabled when there is one group)
// and 1 to 5 copies. On OK the request takes what the user chose; a first column group after the
// last one keeps the dialog open. `request` changes only on OK, which is what the result says.
// With `one_job` the box "all pages in one print job" shows it and takes the user's choice on
// OK; without it (the dot-matrix printer, whose pages are one stream anyway) the box is hidden.
[[nodiscard]] bool Dialog_PagesToPrint(HWND owner, PageRequest& request, bool* one_job = nullptr);

#endif
