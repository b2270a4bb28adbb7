// One printed page drawn on a canvas: the page's layout lines in one column group, the printed
// page numbers, from the page's origin on the sheet. Printers and the PDF writer share it.
#ifndef LINTARO_PRINT_PAGE_PAINT_H
#define LINTARO_PRINT_PAGE_PAINT_H

#include "grid/column_groups.h"
#include "grid/grid_model.h"
#include "print/windows_printing.h"
#include "render/page_canvas.h"

// Draws a PageNumber line, the table font chosen on `canvas`: the number in a box from (x, y)
// as wide as the printable width and one print text line high, placed as the table style's
// page-number position says. Returns the box's bottom.
int PaintPrintedPageNumber(const GridModel& model, PageCanvas& canvas, int x, int y, int number);

// Draws layout lines [first, end) (one page, FindPageLines) of the columns of `group` one below
// the other from `origin`, in the print device's pixels, with the line painters in printer
// mode; `date_text` is what a DateLine shows. Sets the table width on paper to the group's.
void PaintPageLines(GridModel& model, PageCanvas& canvas, int first, int end, const ColumnGroup& group,
                    PageOrigin origin, const char* date_text);

#endif
