// Painting the grid's layout lines: the line painters (screen and paper) and the window's paint.
#ifndef LINTARO_GRID_GRID_PAINT_WIN32_H
#define LINTARO_GRID_GRID_PAINT_WIN32_H

#include <windows.h>

#include "grid/table_fonts_win32.h"

#include <cstdint>

#include "grid/grid_host_win32.h"
#include "grid/grid_model.h"

class GridSurface;

// Where and how a layout line is painted. On screen (GridDevice::Screen) cells left of the
// client area are skipped and a row stops at its right edge; on paper (GridDevice::Print) every
// cell of the column range is filled white first and pictures are scaled for the printer.
struct LinePaintTarget {
    HDC dc;
    GridDevice device;
    TableFonts* fonts;  // selected into dc
    int x0;                 // x of the table's left rule
    int first_column;       // the columns painted: first_column .. end_column - 1 (visible ones)
    int end_column;
    int table_width;        // from the left rule to past the right one, on this device
    RECT client;            // screen: the client area; paper: unused
    std::uint32_t grid_style;  // GridStyle bits (the page-width mark limits page numbers)
    int page_number_right;  // screen: where a page number's box ends, x0 + the printable
                            // width, as the box ends on paper
    // Screen: the print measuring device with the table font chosen, so that flowing cells
    // break their lines, and names are shortened, as they are on paper. Null: the dc's own.
    MeasuringDevice* paper = nullptr;
    // The grid's host: the picture folder, and on paper the display's resolution that pictures
    // are scaled from. Null: picture cells show no picture.
    GridHost* host = nullptr;
    // Paper: the key columns [0, key_end_column) painted before the range (0: none).
    int key_end_column = 0;
};

// Paints `line` with its top at y and returns the y below it. DataRow, Titles, ColumnNumbers,
// Header, Footer, DateLine and Blank paint on both devices; PageNumber and PageBreak are the
// screen's forms (printing draws its own page numbers) and on paper leave one text line blank.
// Every painted cell is excluded from the clip region, so later fills never cover it.
int PaintLayoutLine(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target);

// The whole window on WM_PAINT, between BeginPaint and EndPaint on `dc`: the page-width mark,
// the lines from the top of the view down to the window's bottom and white everywhere else.
// Stores the last fully visible line and the text lines in view; returns whether that count
// changed (the scroll ranges are then due). A grid without columns is light gray.
bool PaintGridWindow(GridSurface& grid, HDC dc);

// The page's printable width in screen pixels when `grid_style` shows the page-width mark
// (for the dot-matrix printer its characters at ten to the inch), otherwise 0.
int PrintableWidthOnScreen(const GridModel& model, std::uint32_t grid_style);

// The scroll ranges of the grid's window (when its layout has text lines), and the positions.
void UpdateGridScrollRanges(GridSurface& grid);
void UpdateGridScrollPositions(GridSurface& grid);

// "dd.mm.yyyy, hh:mm" for the date line.
void FormatDateLine(const SYSTEMTIME& time, char (&text)[32]);

#endif
