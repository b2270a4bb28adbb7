// Where the drawing primitives put their strokes and pictures, worked out without a device.
#include "render/draw_geometry.h"

#include <algorithm>

#include "base/mul_div.h"

RuleStrokes VerticalRuleStrokes(int x, int top, int bottom, int lineType) {
    RuleStrokes result{};
    result.strokes[result.count++] = RuleStroke{x, top, bottom, false};
    if (lineType == kSingleLine) return result;
    if (lineType == kThickLine) {
        result.strokes[result.count++] = RuleStroke{x + 1, top, bottom, false};
        return result;
    }
    result.strokes[result.count++] = RuleStroke{x + 1, top - 1, bottom, true};
    result.strokes[result.count++] = RuleStroke{x + 2, top, bottom, false};
    return result;
}

PictureSize ScalePictureForPrinter(PictureSize picture, PixelsPerInch printer,
                                   PixelsPerInch display) {
    return PictureSize{MulDiv32(printer.x, picture.width, display.x),
                       MulDiv32(printer.y, picture.height, display.y)};
}

PicturePosition PlacePicture(const PixelRect& cell, int padding, int dy, int alignment,
                             int fontHeight, PictureSize picture) {
    int x = cell.left + padding;
    if (alignment == kAlignRight) {
        x = cell.right - padding - picture.width;
    } else if (alignment == kAlignCenter) {
        x = cell.left + (cell.right - cell.left - picture.width) / 2;
    }
    x = std::max(x, cell.left);
    int y = cell.top + dy + fontHeight / 5;
    // A picture taller than its cell ends up at the cell's top and is cut by the next row.
    if (y + picture.height > cell.bottom && y > cell.top) {
        y = std::max(cell.bottom - picture.height, cell.top);
    }
    return PicturePosition{x, y};
}
