// Where the drawing primitives put their strokes and pictures, worked out without a device.
#ifndef LINTARO_RENDER_DRAW_GEOMETRY_H
#define LINTARO_RENDER_DRAW_GEOMETRY_H

#include "render/text_layout.h"

// Line type of the table's rules; the value is also the rule's width in pixels.
enum : int {
    kSingleLine = 1,
    kThickLine = 2,
    kDoubleLine = 3,
};

// One vertical line from (x, top) to (x, bottom), the end point not drawn; `white` lines are
// drawn with the white pen, the others with the pen the caller selected.
struct RuleStroke {
    int x;
    int top;
    int bottom;
    bool white;
};

struct RuleStrokes {
    RuleStroke strokes[3];
    int count;
};

// Single: one line at x. Thick: lines at x and x + 1. Any other type is Double: dark at x, white
// at x + 1 starting one pixel higher, dark at x + 2.
RuleStrokes VerticalRuleStrokes(int x, int top, int bottom, int lineType);

struct PictureSize {
    int width;
    int height;
};

struct PixelsPerInch {
    int x;
    int y;
};

// The printed size of a picture shown at `display` resolution, so that it keeps its physical
// size on a printer of `printer` resolution (MulDiv rounding: 100 x 50 at 96 gives 313 x 156
// at 300).
PictureSize ScalePictureForPrinter(PictureSize picture, PixelsPerInch printer,
                                   PixelsPerInch display);

struct PicturePosition {
    int x;
    int y;
};

// Top-left corner of a picture in a cell: aligned like text (`padding` from the aligned edge,
// centred by halves, never left of the cell), a fifth of the font height below the text line
// at dy, and moved up pixel by pixel while it overhangs the cell's bottom and is below its top.
PicturePosition PlacePicture(const PixelRect& cell, int padding, int dy, int alignment,
                             int fontHeight, PictureSize picture);

#endif
