// How the visible columns divide into column groups across the paper: each group is one sheet's
// worth of columns side by side. Printing prints group by group; the screen marks their edges.
#ifndef LINTARO_GRID_COLUMN_GROUPS_H
#define LINTARO_GRID_COLUMN_GROUPS_H

#include <vector>

#include "grid/grid_model.h"

// The width the table may take on paper: paper width − left margin − right margin of the grid's
// page copy for the print measuring context, in its pixels.
int PrintableWidthOnPaper(const GridModel& grid);

// The columns of one group: [first_column, end_column) in grid column order (invisible columns
// inside are skipped by the painters) and its width on paper, rules included.
struct ColumnGroup {
    int first_column = 0;
    int end_column = 0;
    int width = 0;
};

// The visible columns from the left in groups that each fit the printable width: a group takes
// its first column whatever its width, then further columns while rule + Σ (print width + rule)
// stays within the printable width. Empty without visible columns.
std::vector<ColumnGroup> DivideIntoColumnGroups(const GridModel& grid);

// Group `group_index` (0-based) as DivideIntoColumnGroups divides them; false when there is no
// such group.
bool FindColumnGroup(const GridModel& grid, int group_index, ColumnGroup& group);

#endif
