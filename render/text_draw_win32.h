// Drawing cell, title and header text into a rectangle of a device context, screen or printer.
#ifndef LINTARO_RENDER_TEXT_DRAW_WIN32_H
#define LINTARO_RENDER_TEXT_DRAW_WIN32_H

#include <windows.h>

#include <cstddef>

#include "render/font_record.h"
#include "render/text_layout.h"

// All functions draw with the font selected into `dc` and measure with it; texts are code page
// 1251 bytes with a length (no terminator needed); rectangles are device pixels with exclusive
// right and bottom. "Fill" is FillRect with the caller's brush, the cell background: every
// function covers its whole rectangle, text where it goes and the brush everywhere else
// (DrawCenteredWrappedText and the last line of DrawWrappedText may reach below it). Nothing is
// allocated and no GDI object is left selected.

// The LOGFONT for `table_font` on `dc`: face, height -size * LOGPIXELSY / 720 (MulDiv
// rounding), weight 700 for bold, italic, underline, strike-out and character set as the record
// says, all else zero.
LOGFONTA MakeFont(HDC dc, const FontSpec& table_font);

// Creates the font of `table_font` for `dc` and selects it for this object's lifetime; the
// previous font is selected back before the font is deleted.
class ScopedFont {
public:
    ScopedFont(HDC dc, const FontSpec& table_font);
    ~ScopedFont();
    ScopedFont(const ScopedFont&) = delete;
    ScopedFont& operator=(const ScopedFont&) = delete;

    bool ok() const { return font_ != nullptr; }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ previous_ = nullptr;
};

// One line at (rect.left + dx, rect.top + dy); the rest of `rect` filled. No text (null or count
// 0) fills the whole rectangle.
void DrawTextAt(HDC dc, const char* text, std::size_t count, const RECT& rect, int dx, int dy,
                HBRUSH brush);

// One line aligned 0 left, 1 right or 2 centre with `padding` from the aligned edge, cut short
// at the right edge (its last character may cross it), dy below the top.
void DrawAlignedLine(HDC dc, const char* text, std::size_t count, const RECT& rect,
                     int alignment, int padding, int dy, HBRUSH brush);

// Cell text wrapped to rect width - leftPadding - rightPadding, each line aligned by itself,
// starting dy below the top; no line starts at or below rect.bottom.
void DrawWrappedText(HDC dc, const char* text, std::size_t length, const RECT& rect,
                     int leftPadding, int rightPadding, int dy, int alignment, HBRUSH brush);

// Cell text as DrawWrappedText, its lines broken where `breaks` (another device) breaks them.
void DrawWrappedTextBrokenAs(HDC dc, const char* text, std::size_t length, const RECT& rect,
                             int leftPadding, int rightPadding, int dy, int alignment, HBRUSH brush,
                             const LineBreakRule& breaks);

// Column titles: wrapped to rect width - padding, every line centred in the whole width; the
// caller's clip region limits the lines.
void DrawCenteredWrappedText(HDC dc, const char* text, std::size_t length, const RECT& rect,
                             int padding, int dy, HBRUSH brush);

// Page header or footer: one line per CR or CR LF, a TAB splitting a line into a left part and a
// right-aligned part, `padding` from the edges.
void DrawHeaderText(HDC dc, const char* text, std::size_t length, const RECT& rect, int padding,
                    int dy, HBRUSH brush);

#endif
