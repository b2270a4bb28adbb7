// The line painters: one layout line of the grid drawn on a canvas, on the screen or on paper.
#ifndef LINTARO_GRID_LINE_PAINT_H
#define LINTARO_GRID_LINE_PAINT_H

#include <cstdint>

#include "grid/grid_model.h"
#include "render/page_canvas.h"

// Where and how a layout line is painted. On screen (GridDevice::Screen) cells left of the
// client area are skipped and a row stops at its right edge; on paper (GridDevice::Print) every
// cell of the column range is filled white first.
struct LinePaintTarget {
    PageCanvas* canvas;     // the table font chosen
    GridDevice device;
    int x0;                 // x of the table's left rule
    int first_column;       // the columns painted: first_column .. end_column - 1 (visible ones)
    int end_column;
    int table_width;        // from the left rule to past the right one, on this device
    PixelRect client;       // screen: the client area; paper: unused
    std::uint32_t grid_style;  // GridStyle bits (the page-width mark limits page numbers)
    int page_number_right;  // screen: where a page number's box ends, x0 + the printable
                            // width, as the box ends on paper
    // Screen: the print measuring device with the table font chosen, so that flowing cells
    // break their lines, and names are shortened, as they are on paper. Null: the canvas's own.
    MeasuringDevice* paper = nullptr;
    // The text of a DateLine ("dd.mm.yyyy, hh:mm"); null draws the line empty.
    const char* date_text = nullptr;
    // Paper: the key columns [0, key_end_column) painted before the range (0: none).
    int key_end_column = 0;
};

// Paints `line` with its top at y and returns the y below it. DataRow, Titles, ColumnNumbers,
// Header, Footer, DateLine, Blank and the sum lines paint on both devices; PageNumber and PageBreak are the
// screen's forms (printing draws its own page numbers) and on paper leave one text line blank.
// Every painted cell is excluded from the clip region, so later fills never cover it.
int PaintLayoutLine(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target);

#endif
