// How the visible columns divide into column groups across the paper: each group is one sheet's
// worth of columns side by side. Printing prints group by group; the screen marks their edges.
// Key columns (the first visible ones, as many as the print options ask) repeat at the left of
// every group after the first, and a table fitted to the width is laid out on a page larger by
// the inverse of its scale, so that it prints as one group.
#ifndef LINTARO_GRID_COLUMN_GROUPS_H
#define LINTARO_GRID_COLUMN_GROUPS_H

#include <cstdint>
#include <vector>

#include "grid/grid_model.h"

// The scale the printed table is drawn at, in thousandths: 1000 unless fit to width is on and
// the visible columns are wider than the printable width; then the largest scale at which they
// fit it, unless that is below kSmallestPrintScale (the table then prints unscaled in groups).
// Always 1000 for the dot-matrix printer.
constexpr int kFullPrintScale = 1000;
constexpr int kSmallestPrintScale = 400;
int PrintScale(const GridModel& grid);

// `length` on the scaled page: length × 1000 / scale, held to the int range.
int UnscaledLength(std::int64_t length, int scale);

// The width the table may take on paper: paper width − left margin − right margin of the grid's
// page copy for the print measuring context, in its pixels, enlarged by the print scale.
int PrintableWidthOnPaper(const GridModel& grid);

// The key columns as they repeat: the grid columns [0, end_column) hold the first `count`
// visible columns, `width` wide on paper with a rule after each (the group's left rule not
// counted). The count is the one asked for, but never all visible columns, and fewer when the
// key columns would leave no room beside them for a column that fits a sheet on its own.
struct KeyColumns {
    int wanted = 0;  // the count asked for, at most all visible columns but one
    int count = 0;
    int end_column = 0;
    std::int64_t width = 0;
};
KeyColumns FindKeyColumns(const GridModel& grid);

// The columns of one group: its key columns [0, key_end_column) (0 for none: the first group
// starts with them anyway), then [first_column, end_column) in grid column order (invisible
// columns inside are skipped by the painters) and its width on paper, rules included.
struct ColumnGroup {
    int first_column = 0;
    int end_column = 0;
    int width = 0;
    int key_end_column = 0;
};

// The visible columns from the left in groups that each fit the printable width: a group takes
// the key columns and its first column whatever their width, then further columns while
// rule + Σ (print width + rule) stays within the printable width. Empty without visible columns.
std::vector<ColumnGroup> DivideIntoColumnGroups(const GridModel& grid);

// Group `group_index` (0-based) as DivideIntoColumnGroups divides them; false when there is no
// such group.
bool FindColumnGroup(const GridModel& grid, int group_index, ColumnGroup& group);

#endif
