// Where the grid's lines and columns are in its window, and how the view moves over them:
// scrolling in text lines and 8-pixel steps, hit tests, column moves and resizes. No drawing.
#ifndef LINTARO_GRID_GRID_VIEW_LAYOUT_H
#define LINTARO_GRID_GRID_VIEW_LAYOUT_H

#include <vector>

#include "grid/grid_layout.h"
#include "render/text_layout.h"

// Horizontal scrolling step in screen pixels.
constexpr int kHorizontalStep = 8;
// A column edge is hit within this many pixels either side of its rule.
constexpr int kEdgeHitZone = 2;
// A resized column keeps this much room from its left rule, and its edge this much from the
// window's right edge.
constexpr int kResizeMargin = 10;

// The window the view is laid out in: its client rectangle (screen pixels) and the printable
// width of the page on screen, when the page-width mark shows it (0 otherwise).
struct GridFrame {
    PixelRect client;
    int printable_width;
};

// The text lines above the top of the view: the top sub-line plus the heights of all lines
// above the top line. Linear in the top line's index.
int VerticalPositionOf(const GridModel& model);

// Width of the horizontal scroll range: three indents plus the wider of the table and the page.
int HorizontalRangeWidth(const GridModel& model, const GridFrame& frame);

// The last sub-line wholly in view when the view starts at (line, sub_line), and the y of its
// bottom. When not even the first fits, that one with its own height as the bottom.
struct LastVisible {
    int line;
    int sub_line;
    int bottom;
};
LastVisible FindLastFullyVisible(const GridModel& model, int line, int sub_line, const PixelRect& client);

// Moves of the view. Each returns whether the caller should repaint; none moves past either
// end of the table. They read the vertical position and the visible text lines the last paint
// stored in the view state.
bool LineDown(GridModel& model);
bool LineUp(GridModel& model);
bool PageDown(GridModel& model, const GridFrame& frame);
bool PageUp(GridModel& model, const GridFrame& frame);
// Ctrl+Page Down: the last line at the top, then as much above it as fits.
bool ScrollToEnd(GridModel& model, const GridFrame& frame);
// The top goes to the sub-line `position` text lines from the start (past the end: stays).
bool TrackVerticalThumb(GridModel& model, int position);
bool ScrollLeft(GridModel& model);
bool ScrollRight(GridModel& model, const GridFrame& frame);
bool TrackHorizontalThumb(GridModel& model, int position);
// Home and End: the table's left end, or as far right as the scroll bar reaches.
bool ScrollToLeftEnd(GridModel& model);
bool ScrollToRightEnd(GridModel& model, const GridFrame& frame);
// Ctrl+Home: the first line at the top; the horizontal offset stays.
bool ScrollToStart(GridModel& model);
// The mouse wheel: `steps` line moves down (negative: up), or sideways 8-pixel steps right
// (negative: left); each direction stops at its end.
bool ScrollLines(GridModel& model, int steps);
bool ScrollSideways(GridModel& model, const GridFrame& frame, int steps);

// Pulls the top back while the view below the last line would stay empty, and a table that was
// scrolled sideways back right while the window shows room beyond its right end.
void FillView(GridModel& model, const GridFrame& frame);

// After a size or layout change: a top line or sub-line that no longer exists becomes 0, then
// FillView, and the scroll ranges are due again.
void RefreshViewState(GridModel& model, const GridFrame& frame);

// The layout line under window y, or -1 (above the lines, in the top band, below the window).
int LineAtY(const GridModel& model, int y, const PixelRect& client);

// The visible column whose right-hand rule (widened by kEdgeHitZone each side) is under x, or -1.
int ColumnEdgeAtX(const GridModel& model, int x, const PixelRect& client);

// x of the left-hand rule of `column` (visible or not), or -1 out of range.
int ColumnLeftX(const GridModel& model, int column, const PixelRect& client);

// The visible column whose title cell (between its rules) is under x, or -1 on a rule or
// outside the table.
int ColumnAtTitleX(const GridModel& model, int x, const PixelRect& client);

// Where a column dropped at x goes: the first visible column whose right-hand rule lies right of
// x; the last column of the list beyond them; -1 left of the table.
int ColumnDropTarget(const GridModel& model, int x, const PixelRect& client);

// Where the page-width marks go on screen (window x, left to right): for every column group the
// end of its sheet's printable width (`printable_width`, screen pixels) measured from the left
// rule of the group's first column, so a mark crosses the column that begins the next group, as
// printing divides them. A mark that the two devices' rounding would put outside that column is
// kept inside it. A later group's mark stands closer by the screen width of the key columns it
// repeats. The dot-matrix printer prints no groups: one mark from the table's left rule.
std::vector<int> PageWidthMarks(const GridModel& model, const PixelRect& client, int printable_width);

// Moves the column record from `from` to `to`, the records between shifting by one, and sets
// the modified flag. Widths and layout stay. False when nothing moved.
bool MoveColumn(GridModel& model, int from, int to);

// Makes `column` `delta` pixels wider on screen and on paper in proportion (by its natural
// widths, or by the two devices' pixels per inch when it has no natural width); modified, and
// the layout again for a flowing column or when the titles now need another number of lines.
// Does not touch the view.
void ResizeColumn(GridModel& model, int column, int delta);

#endif
