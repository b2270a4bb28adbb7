// Drawing cell, title and header text into a rectangle of a device context, screen or printer.
#include "render/text_draw_win32.h"

#include <climits>
#include <cstring>

#include "render/gdi_text_meter_win32.h"
#include "render/text_layout.h"

namespace {

int TextOutLength(std::size_t count) { return count > INT_MAX ? INT_MAX : static_cast<int>(count); }

template <typename Layout>
void DrawPieces(HDC dc, const char* text, Layout layout, HBRUSH brush) {
    TextPiece piece{};
    while (layout.Next(piece)) {
        DrawTextAt(dc, piece.count != 0 ? text + piece.start : nullptr, piece.count,
                   ToRect(piece.box), piece.dx, 0, brush);
    }
}

}  // namespace

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

void DrawTextAt(HDC dc, const char* text, std::size_t count, const RECT& rect, int dx, int dy,
                HBRUSH brush) {
    if (text == nullptr || count == 0) {
        FillRect(dc, &rect, brush);
        return;
    }
    const TextExtent extent = GdiTextMeter(dc).Measure(text, count);
    const int x = rect.left + dx;
    const int y = rect.top + dy;
    // Fill first: a glyph overhanging its measured box is then kept.
    const FillBands bands =
        BandsAroundBox(ToPixelRect(rect), PixelRect{x, y, x + extent.width, y + extent.height});
    for (int i = 0; i < bands.count; ++i) {
        const RECT band = ToRect(bands.bands[i]);
        FillRect(dc, &band, brush);
    }
    TextOutA(dc, x, y, text, TextOutLength(count));
}

void DrawAlignedLine(HDC dc, const char* text, std::size_t count, const RECT& rect, int alignment,
                     int padding, int dy, HBRUSH brush) {
    const AlignedLine line =
        PlaceAlignedLine(GdiTextMeter(dc), text, count, ToPixelRect(rect), alignment, padding);
    DrawTextAt(dc, text, line.count, rect, line.x - rect.left, dy, brush);
}

void DrawWrappedText(HDC dc, const char* text, std::size_t length, const RECT& rect,
                     int leftPadding, int rightPadding, int dy, int alignment, HBRUSH brush) {
    const GdiTextMeter meter(dc);
    DrawPieces(dc, text,
               WrappedTextLayout::ForCell(meter, text, length, ToPixelRect(rect), leftPadding,
                                          rightPadding, dy, alignment),
               brush);
}

void DrawWrappedTextBrokenAs(HDC dc, const char* text, std::size_t length, const RECT& rect,
                             int leftPadding, int rightPadding, int dy, int alignment, HBRUSH brush,
                             const LineBreakRule& breaks) {
    const GdiTextMeter meter(dc);
    DrawPieces(dc, text,
               WrappedTextLayout::ForCellBrokenAs(meter, text, length, ToPixelRect(rect), leftPadding,
                                                  rightPadding, dy, alignment, breaks),
               brush);
}

void DrawCenteredWrappedText(HDC dc, const char* text, std::size_t length, const RECT& rect,
                             int padding, int dy, HBRUSH brush) {
    const GdiTextMeter meter(dc);
    DrawPieces(dc, text,
               WrappedTextLayout::ForTitle(meter, text, length, ToPixelRect(rect), padding, dy),
               brush);
}

void DrawHeaderText(HDC dc, const char* text, std::size_t length, const RECT& rect, int padding,
                    int dy, HBRUSH brush) {
    const GdiTextMeter meter(dc);
    DrawPieces(dc, text, HeaderTextLayout(meter, text, length, ToPixelRect(rect), padding, dy),
               brush);
}
