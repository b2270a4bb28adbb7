// Heights of layout lines, in text lines and in device pixels: what pagination, painting and
// scrolling all measure with.
#ifndef LINTARO_GRID_GRID_LAYOUT_H
#define LINTARO_GRID_GRID_LAYOUT_H

#include <cstdint>

#include "grid/grid_model.h"

// The three measures a line's pixel height is made of, on one device.
struct LineMetrics {
    int font_height;   // one text line
    int rule_width;    // a horizontal rule
    int cell_padding;  // above and below a row's text
};

// The measures of `device`. For the print device with the dot-matrix printer the page is
// counted in lines, so a text line and a rule are 1 and there is no padding.
LineMetrics LineMetricsOf(const GridModel& model, GridDevice device);

// Pixel height of text line `sub_line` (0 .. height - 1) of `line`: the font height, plus, on the
// first and last sub-lines, the padding and rules its kind and flags carry, as it is drawn.
int SubLineHeight(const LayoutLine& line, int sub_line, const LineMetrics& metrics);

// Pixel height of the whole line: the sum over its sub-lines.
int LineHeight(const LayoutLine& line, const LineMetrics& metrics);

// Height in text lines (1 .. 255) that `line` needs, measured on the print device, on which the
// caller has chosen the table font: the most lines any visible cell wraps into (or a picture
// spans), the wrapped titles, the hard lines of the header or footer text; 1 for other kinds.
std::uint8_t RowHeightLines(const GridModel& model, const LayoutLine& line);

// Whether the titles at the top of the first page would now wrap into another number of lines
// than the layout gives them (the widths changed). False without a titles line.
bool TitleBandHeightChanged(const GridModel& model);

#endif
