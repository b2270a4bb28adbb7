// Summed columns wide enough for their sums, so that a column just marked for summing or a
// placement just chosen never prints a total with digits cut off.
#ifndef LINTARO_GRID_SUM_WIDTHS_H
#define LINTARO_GRID_SUM_WIDTHS_H

#include "grid/grid_model.h"

// Widens every visible summed column narrower than a sum its sum lines show (bold, with the
// text inset and cell margin) to that sum, on the screen and on the printer's measure; other
// columns, and summed ones wide enough, keep the widths the user gave them. When a width
// changed: modified, laid out again (new page breaks may bring new sums, so it looks again, a
// few times at most), the view's layout dirty, and true. The caller repaints.
bool WidenSummedColumnsToTheirSums(GridModel& model);

// The width a cell on `device` needs for the sum `text`: the text in the device's current font
// (the caller selects the bold the sums are drawn in) with the text inset and the cell margin.
int SumCellWidth(GridModel& model, GridDevice device, const char* text, int length);

#endif
