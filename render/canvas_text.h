// Cell, title and header text, rules and dotted lines drawn on a PageCanvas: the one drawing of
// them that the screen, the printer and the PDF writer share.
#ifndef LINTARO_RENDER_CANVAS_TEXT_H
#define LINTARO_RENDER_CANVAS_TEXT_H

#include <cstddef>

#include "render/page_canvas.h"
#include "render/text_layout.h"

// Texts are code page 1251 bytes with a length; rectangles device pixels with exclusive right
// and bottom. Every function covers its whole rectangle: text where it goes, `shade` elsewhere
// (the titles and the last line of wrapped text may reach below it).

// One line with its box at (rect.left + dx, rect.top + dy); the rest of `rect` filled. No text
// (null or count 0) fills the whole rectangle.
void PaintTextAt(PageCanvas& canvas, const char* text, std::size_t count, const PixelRect& rect, int dx, int dy,
                 Shade shade);

// One line aligned 0 left, 1 right or 2 centre with `padding` from the aligned edge, cut short
// at the right edge, dy below the top.
void PaintAlignedLine(PageCanvas& canvas, const char* text, std::size_t count, const PixelRect& rect, int alignment,
                      int padding, int dy, Shade shade);

// Cell text wrapped to rect width - left_padding - right_padding, each line aligned by itself;
// with a rule given, broken where that (other) device breaks it.
void PaintWrappedText(PageCanvas& canvas, const char* text, std::size_t length, const PixelRect& rect,
                      int left_padding, int right_padding, int dy, int alignment, Shade shade,
                      const LineBreakRule& breaks = LineBreakRule{nullptr, 0});

// Column titles: wrapped to rect width - padding, every line centred in the whole width.
void PaintCenteredWrappedText(PageCanvas& canvas, const char* text, std::size_t length, const PixelRect& rect,
                              int padding, int dy, Shade shade);

// Page header or footer: one line per CR or CR LF, a TAB splitting a left and a right part.
void PaintHeaderText(PageCanvas& canvas, const char* text, std::size_t length, const PixelRect& rect, int padding,
                     int dy, Shade shade);

// A vertical rule of `line_type` from (x, top) down to, not including, (x, bottom).
void PaintVerticalRule(PageCanvas& canvas, int x, int top, int bottom, int line_type);

// The page-break line: white, black, white pixels repeated from `left` while x < right.
void PaintDottedLine(PageCanvas& canvas, int left, int right, int y);

#endif
