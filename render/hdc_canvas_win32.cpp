// The canvas operations as GDI calls.
#include "render/hdc_canvas_win32.h"

#include <climits>

#include "render/draw_primitives_win32.h"
#include "render/picture_cell_win32.h"

namespace {

constexpr COLORREF kGrayBackground = 0xC0C0C0;
constexpr COLORREF kBlackColour = RGB(0, 0, 0);
constexpr COLORREF kWhiteColour = RGB(255, 255, 255);

// Farther than any sheet reaches at any resolution, well within GDI's coordinate range.
constexpr int kFarBeyondTheSheet = 1 << 24;

}  // namespace

HdcCanvas::HdcCanvas(HDC dc, HBRUSH white) : dc_(dc), white_(white), meter_(dc) {}

void HdcCanvas::SetTextBackground(Shade shade) {
    SetBkColor(dc_, shade == Shade::LightGray ? kGrayBackground : kWhiteColour);
}

void HdcCanvas::Fill(const PixelRect& rect, Shade shade) {
    const RECT area = ToRect(rect);
    FillRect(dc_, &area, shade == Shade::LightGray ? LightGrayBrush() : white_);
}

void HdcCanvas::Text(int x, int y, const char* text, std::size_t count) {
    TextOutA(dc_, x, y, text, count > INT_MAX ? INT_MAX : static_cast<int>(count));
}

void HdcCanvas::RuleLine(int x1, int y1, int x2, int y2, bool white) {
    if (!white) {
        DrawRuleLine(dc_, x1, y1, x2, y2);
        return;
    }
    const HGDIOBJ previous = SelectObject(dc_, WhitePen());
    DrawRuleLine(dc_, x1, y1, x2, y2);
    SelectObject(dc_, previous);
}

void HdcCanvas::Pixel(int x, int y, bool white) { SetPixel(dc_, x, y, white ? kWhiteColour : kBlackColour); }

void HdcCanvas::ExcludeClip(const PixelRect& rect) {
    ExcludeClipRect(dc_, rect.left, rect.top, rect.right, rect.bottom);
}

void HdcCanvas::KeepBandFinished(int top, int bottom) {
    // Printer drivers send the whole clip region with every drawing call: a page's worth of
    // excluded cells made printing slow in proportion to the square of the cells on a page.
    SelectClipRgn(dc_, nullptr);
    ExcludeClipRect(dc_, -kFarBeyondTheSheet, top, kFarBeyondTheSheet, bottom);
}

void HdcCanvas::PictureCell(const PixelRect& cell, int padding, int dy, int alignment, int line_type,
                            const char* name) {
    DrawPictureCell(dc_, ToRect(cell), padding, dy, alignment, line_type, name, nullptr);
}
