// Drawing cell, title and header text into a rectangle of a device context, screen or printer.
#include "render/text_draw_win32.h"

#include <cstring>

#include "render/canvas_text.h"
#include "render/hdc_canvas_win32.h"

LOGFONTA MakeFont(HDC dc, const FontSpec& table_font) {
    LOGFONTA font;
    std::memset(&font, 0, sizeof font);
    static_assert(sizeof font.lfFaceName == sizeof table_font.face_name, "face names are 32 bytes");
    // Up to the terminator only: bytes after it stay zero like every other unused field.
    const void* end = std::memchr(table_font.face_name, '\0', sizeof font.lfFaceName - 1);
    const std::size_t length = end != nullptr ? static_cast<const char*>(end) - table_font.face_name
                                              : sizeof font.lfFaceName - 1;
    std::memcpy(font.lfFaceName, table_font.face_name, length);
    font.lfHeight = LogicalFontHeight(table_font.size, GetDeviceCaps(dc, LOGPIXELSY));
    if (table_font.style & kFontBold) font.lfWeight = FW_BOLD;
    if (table_font.style & kFontItalic) font.lfItalic = TRUE;
    if (table_font.style & kFontUnderline) font.lfUnderline = TRUE;
    if (table_font.style & kFontStrikeOut) font.lfStrikeOut = TRUE;
    font.lfCharSet = static_cast<BYTE>(table_font.char_set & 0xFF);
    return font;
}

ScopedFont::ScopedFont(HDC dc, const FontSpec& table_font) : dc_(dc) {
    const LOGFONTA description = MakeFont(dc, table_font);
    font_ = CreateFontIndirectA(&description);
    if (font_ != nullptr) previous_ = SelectObject(dc_, font_);
}

ScopedFont::~ScopedFont() {
    if (font_ == nullptr) return;
    if (previous_ != nullptr) SelectObject(dc_, previous_);
    DeleteObject(font_);
}

// Every function draws through the canvas, as the grid's painters do.

void DrawTextAt(HDC dc, const char* text, std::size_t count, const RECT& rect, int dx, int dy,
                HBRUSH brush) {
    HdcCanvas canvas(dc, brush);
    PaintTextAt(canvas, text, count, ToPixelRect(rect), dx, dy, Shade::White);
}

void DrawAlignedLine(HDC dc, const char* text, std::size_t count, const RECT& rect, int alignment,
                     int padding, int dy, HBRUSH brush) {
    HdcCanvas canvas(dc, brush);
    PaintAlignedLine(canvas, text, count, ToPixelRect(rect), alignment, padding, dy, Shade::White);
}

void DrawWrappedText(HDC dc, const char* text, std::size_t length, const RECT& rect,
                     int leftPadding, int rightPadding, int dy, int alignment, HBRUSH brush) {
    HdcCanvas canvas(dc, brush);
    PaintWrappedText(canvas, text, length, ToPixelRect(rect), leftPadding, rightPadding, dy, alignment,
                     Shade::White);
}

void DrawWrappedTextBrokenAs(HDC dc, const char* text, std::size_t length, const RECT& rect,
                             int leftPadding, int rightPadding, int dy, int alignment, HBRUSH brush,
                             const LineBreakRule& breaks) {
    HdcCanvas canvas(dc, brush);
    PaintWrappedText(canvas, text, length, ToPixelRect(rect), leftPadding, rightPadding, dy, alignment,
                     Shade::White, breaks);
}

void DrawCenteredWrappedText(HDC dc, const char* text, std::size_t length, const RECT& rect,
                             int padding, int dy, HBRUSH brush) {
    HdcCanvas canvas(dc, brush);
    PaintCenteredWrappedText(canvas, text, length, ToPixelRect(rect), padding, dy, Shade::White);
}

void DrawHeaderText(HDC dc, const char* text, std::size_t length, const RECT& rect, int padding,
                    int dy, HBRUSH brush) {
    HdcCanvas canvas(dc, brush);
    PaintHeaderText(canvas, text, length, ToPixelRect(rect), padding, dy, Shade::White);
}
