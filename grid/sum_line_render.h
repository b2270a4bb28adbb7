// Sum lines as boxed character text, for the plain-text export and the dot-matrix printer
// (grid/char_render.h draws every other line the same way).
#ifndef LINTARO_GRID_SUM_LINE_RENDER_H
#define LINTARO_GRID_SUM_LINE_RENDER_H

#include "grid/grid_model.h"
#include "store/item_list.h"

// Raises the character width used of every summed column to the longest sum its sum lines
// show, so that no total is cut. Character widths are left alone: they are the data's (dBase
// field lengths). Call after ComputeCharWidths.
void WidenCharWidthsToSums(GridModel& grid);

// A sum line drawn as a data row: the label span (FindLabelSpan over the visible columns) one
// cell with no inner border and the label at its left, cut to the span; each summed column's
// sum aligned as the column is; other cells blank; a rule above and below as the flags say.
// A SumNote line is its note like a header line: two columns after the indent, no rules.
// `indent` is 0 .. kLongestIndent. Appends CR LF ended lines; false when `out` cannot grow.
bool RenderSumLine(const GridModel& grid, const LayoutLine& line, ItemList& out, int width, int indent);

#endif
