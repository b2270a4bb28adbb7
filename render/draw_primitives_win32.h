// Rules, page-break dots and the page-width mark, on any device context (screen or printer).
#ifndef LINTARO_RENDER_DRAW_PRIMITIVES_WIN32_H
#define LINTARO_RENDER_DRAW_PRIMITIVES_WIN32_H

#include <windows.h>

// The shared stock objects: the white brush behind every cell, band and gap, the light-gray
// brush of gray titles and the white pen in the middle of a double rule. Stock objects need no
// release; these may be used from any drawing code on the user-interface thread.
HBRUSH WhiteBrush();
HBRUSH LightGrayBrush();
HPEN WhitePen();

// A straight line of a rule from (x1, y1) to (x2, y2), the end point not drawn, in the selected
// pen. On paper it is drawn without the clip region: a printer driver strokes it on the edge of
// its pixels, which is where the clip region of the cells beside it ends, and some renderers of
// the printed file then draw nothing of it.
void DrawRuleLine(HDC dc, int x1, int y1, int x2, int y2);

// A vertical rule from (x, top) down to, not including, (x, bottom) with the selected pen.
// Line type 1 Single: that line. 2 Thick: also x + 1. Anything else, Double: x + 1 in the white
// pen from top - 1, and x + 2 in the selected pen; the selected pen is left as it was.
void DrawVerticalRule(HDC dc, int x, int top, int bottom, int lineType);

// The page-break line: white, black, white pixels repeated from `left` while x < right.
void DrawDottedLine(HDC dc, int left, int right, int y);

// The red one-pixel line at x from top to bottom that marks the paper's width, then taken out
// of the clip region so that the cells painted after it leave it visible.
void DrawPageWidthMark(HDC dc, int x, int top, int bottom);

#endif
