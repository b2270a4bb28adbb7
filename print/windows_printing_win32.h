// Printing the grid's pages on a Windows printer: one print job per page and column group,
// each page drawn by the grid's line painters in printer mode at the printer's resolution.
#ifndef LINTARO_PRINT_WINDOWS_PRINTING_WIN32_H
#define LINTARO_PRINT_WINDOWS_PRINTING_WIN32_H

#include <windows.h>

#include <vector>

#include "base/work_progress.h"
#include "grid/grid_win32.h"
#include "base/print_settings.h"
#include "print/windows_printing.h"

// Draws page `page_index` (0-based) of the layout, only the columns of column group
// `group_index` (0-based), on the grid's print context, from the page's origin on the sheet
// (margins less the unprintable strips; the right margin on the left when exchanging). Nothing
// without a print context, for a group at or past the group count, or for a page without lines.
// Sets the table width on paper to the group's width.
void PrintPage(Grid& grid, int page_index, int group_index, bool exchange_margins);

enum class WindowsPrintResult {
    Printed,           // every job was printed
    PrinterNotOpened,  // a device context for the current printer could not be made
    Stopped,           // the spooler refused a job or a page; the jobs before it are printed
    Cancelled,         // the progress said stop; the pages before that point are printed
};

// How the pages reach the spooler.
enum class PrintJobGrouping {
    JobPerPage,  // each page its own job, one second apart: the spooler's order as it always was
    OneJob,      // every page in one job, named as the first page's job, without pauses
};

// Prints the jobs in order on device contexts for the current printer (orientation from
// `settings`): each its own print job named by FormatPrintJobName, with a one-second wait after
// each page, or all as the pages of one job. Ends at the first failure. A `progress` is told the
// pages done of all after every page and may stop printing there; the one-second waits are its
// pauses. One job cut short ends with the pages drawn so far, as separate jobs would have.
[[nodiscard]] WindowsPrintResult PrintJobs(Grid& grid, const PrintSettings& settings, const std::vector<PrintJob>& jobs,
                                           PrintJobGrouping grouping = PrintJobGrouping::JobPerPage,
                                           WorkProgress* progress = nullptr);

#endif
