// What the table painters draw on: a surface in device pixels that knows fills, rule lines,
// pixels, text boxes, a clip region cells are taken out of, and picture cells. The program's
// windows and printers implement it over GDI; the native PDF writer over cairo.
#ifndef LINTARO_RENDER_PAGE_CANVAS_H
#define LINTARO_RENDER_PAGE_CANVAS_H

#include <cstddef>

#include "render/text_layout.h"
#include "render/text_meter.h"

// The two backgrounds cells and bands are filled with.
enum class Shade : int { White, LightGray };

class PageCanvas {
public:
    virtual ~PageCanvas() = default;

    // Measures with the font chosen now: the table font, or its bold variant.
    virtual const TextMeter& Meter() const = 0;

    // Draws and measures with the bold variant of the table font, or the plain one again.
    virtual void SelectBold(bool bold) = 0;

    // The colour behind drawn text, within the text's own box.
    virtual void SetTextBackground(Shade shade) = 0;

    // Fills `rect` (right and bottom exclusive) where the clip region allows.
    virtual void Fill(const PixelRect& rect, Shade shade) = 0;

    // `count` bytes of code page 1251 text with its box's top left at (x, y), in black on the
    // text background, where the clip region allows.
    virtual void Text(int x, int y, const char* text, std::size_t count) = 0;

    // A one-pixel rule from (x1, y1) towards (x2, y2), the end point not drawn, black or white.
    // On paper a rule ignores the clip region (the cells beside it end exactly on its pixels).
    virtual void RuleLine(int x1, int y1, int x2, int y2, bool white) = 0;

    // One pixel, where the clip region allows.
    virtual void Pixel(int x, int y, bool white) = 0;

    // Takes `rect` out of the clip region: later drawing leaves it as it is.
    virtual void ExcludeClip(const PixelRect& rect) = 0;

    // Paper: everything from `top` down to `bottom` across the sheet is finished. The clip region
    // becomes that one band, which keeps it simple however many cells were taken out.
    virtual void KeepBandFinished(int top, int bottom) = 0;

    // A picture cell: the picture that `name` (NUL-terminated) names, aligned in `cell` as text
    // with `padding` and `dy`, the cell background around it; then the cell is taken out of the
    // clip region and its right rule of `line_type` drawn at cell.right. Without a picture the
    // screen shows the name, paper leaves the cell blank.
    virtual void PictureCell(const PixelRect& cell, int padding, int dy, int alignment, int line_type,
                             const char* name) = 0;
};

#endif
