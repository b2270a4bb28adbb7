// What the sum lines of the layout say: the sums of the columns marked ColumnFlags::Sum over
// the rows of the view, a page, the pages so far or a group, with their labels. Pagination
// (RebuildLayout) places the lines and computes their sums; painters and character rendering
// ask here for their texts.
#ifndef LINTARO_GRID_SUM_LINES_H
#define LINTARO_GRID_SUM_LINES_H

#include "grid/grid_model.h"

// Whether the layout carries sum lines: some visible column other than the row numbers and
// pictures is marked ColumnFlags::Sum.
bool HasSummedColumns(const GridModel& model);

// The text sum line `line` shows in grid column `column`: the sum, in the column's own number
// format, for a summed column; empty for every other column and every other line. `buffer`
// holds kCellTextLimit + 1 bytes and is always terminated. Returns the length.
int SumLineCellText(const GridModel& model, const LayoutLine& line, int column, char* buffer);

// The label of sum line `line`, code page 1251: "Общо", "Общо за страницата", "Пренос",
// "Пренос от предходна страница", a group's key, or for a SumNote line the whole note
// ("3 стойности не са числа"). `buffer` as above. Returns the length.
int SumLineLabel(const GridModel& model, const LayoutLine& line, char* buffer);

// Positions [first, end) in `columns` (the visible grid columns a painter draws, in the order
// drawn, `count` of them) that a sum line's label spans as one cell: those before the first
// summed column; when the first drawn column is summed, those after the last summed one;
// empty (first == end) when every drawn column is summed.
struct LabelSpan {
    int first = 0;
    int end = 0;
};
LabelSpan FindLabelSpan(const GridModel& model, const int* columns, int count);

#endif
