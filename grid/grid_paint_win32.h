// Painting the grid's window from its layout lines with the line painters, and its scroll bars.
#ifndef LINTARO_GRID_GRID_PAINT_WIN32_H
#define LINTARO_GRID_GRID_PAINT_WIN32_H

#include <windows.h>

#include <cstdint>

#include "grid/grid_model.h"
#include "grid/line_paint.h"

class GridSurface;

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
