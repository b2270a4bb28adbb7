// Printing on Windows printers, the part without a device: column groups across the paper, the
// jobs a page request makes, their names, and where a page's table starts on the sheet.
#ifndef LINTARO_PRINT_WINDOWS_PRINTING_H
#define LINTARO_PRINT_WINDOWS_PRINTING_H

#include <cstdint>
#include <vector>

#include "grid/column_groups.h"
#include "grid/grid_model.h"
#include "base/print_settings.h"

// Divides the visible columns, from the left, into column groups that each fit the printable
// width: a group takes its first column whatever its width, then further columns while
// rule + Σ (print width + rule) stays within the printable width. Stores the count in the
// grid's print state and returns it (at least 1, also without visible columns).
int CountColumnGroups(GridModel& grid);

// Whether all visible columns fit the printable width side by side. Counts the groups first.
// The table width on paper becomes the width of the columns that fit; the first visible column
// that does not fit is remembered (ColumnCount() when all fit).
bool FitsPageWidth(GridModel& grid);

// What the "PagesToPrint" dialog gives back, all 1-based as typed.
struct WindowsPageRequest {
    int from_page = 1;
    int to_page = 1;
    int page_subset = 0;  // 0 all pages, 1 odd pages, 2 even pages with the margins exchanged
    int column_group_from = 1;
    int column_group_to = 1;
    int copies = 1;
};

// One print job: one column group of one page of one copy, all 1-based.
struct PrintJob {
    int copy = 1;
    int page = 1;
    int column_group = 1;
    bool exchange_margins = false;
};

// The jobs of a request, in printing order: every copy prints the whole range once; within a
// copy the pages go in order and each page prints its chosen groups in order. Copies outside
// 1 .. 5 become 1. The subset drops even pages (1) or odd pages (2); even pages exchange the
// margins. A page number without a page (below 1 or past `page_count`) makes no job, and the
// group range is kept within 1 .. `group_count` (a reversed range makes no job).
std::vector<PrintJob> PlanPrintJobs(const WindowsPageRequest& request, int page_count, int group_count);

// "Linta_<copy>_<page, three digits>_<group>", the job's name in the spooler.
void FormatPrintJobName(const PrintJob& job, char (&name)[64]);

// Where the table's top left corner goes in the printable area of a sheet, in device pixels:
// the left margin (the right one when exchanging) and the top margin of `page` (the settings in
// the device's pixels), less the unprintable strips on those sides; 0 where a strip is at least
// as wide as the margin.
struct PageOrigin {
    int x = 0;
    int y = 0;
};
PageOrigin PageOriginOnSheet(const PrintSettings& page, const PageMetrics& strips, bool exchange_margins);

// The text of a printed page number: "- n -" for the centred positions, "n." otherwise.
void FormatPrintedPageNumber(std::uint8_t position, int number, char (&text)[24]);

#endif
