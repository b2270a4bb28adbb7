// Rules, page-break dots and the page-width mark, on any device context (screen or printer).
#include "render/draw_primitives_win32.h"

#include "render/draw_geometry.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

void DrawLine(HDC dc, int x, int top, int bottom) {
    DrawRuleLine(dc, x, top, x, bottom);
}

}  // namespace

void DrawRuleLine(HDC dc, int x1, int y1, int x2, int y2) {
    // On paper nothing needs clipping under a rule, and the clip region must not cut it.
    const bool on_paper = GetDeviceCaps(dc, TECHNOLOGY) == DT_RASPRINTER;
    const int saved = on_paper ? SaveDC(dc) : 0;
    if (saved != 0) SelectClipRgn(dc, nullptr);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    if (saved != 0) RestoreDC(dc, saved);
}

HBRUSH WhiteBrush() {
    static const HBRUSH brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    return brush;
}

HBRUSH LightGrayBrush() {
    static const HBRUSH brush = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    return brush;
}

HPEN WhitePen() {
    static const HPEN pen = static_cast<HPEN>(GetStockObject(WHITE_PEN));
    return pen;
}

void DrawVerticalRule(HDC dc, int x, int top, int bottom, int lineType) {
    const RuleStrokes rule = VerticalRuleStrokes(x, top, bottom, lineType);
    for (int i = 0; i < rule.count; ++i) {
        const RuleStroke& stroke = rule.strokes[i];
        if (stroke.white) {
            const HGDIOBJ previous = SelectObject(dc, WhitePen());
            DrawLine(dc, stroke.x, stroke.top, stroke.bottom);
            SelectObject(dc, previous);
        } else {
            DrawLine(dc, stroke.x, stroke.top, stroke.bottom);
        }
    }
}

void DrawDottedLine(HDC dc, int left, int right, int y) {
    for (int x = left; x < right; x += 3) {
        SetPixel(dc, x, y, kWhite);
        SetPixel(dc, x + 1, y, kBlack);
        SetPixel(dc, x + 2, y, kWhite);
    }
}

void DrawPageWidthMark(HDC dc, int x, int top, int bottom) {
    const HPEN red = CreatePen(PS_SOLID, 1, kRed);
    if (red == nullptr) return;
    const HGDIOBJ previous = SelectObject(dc, red);
    DrawLine(dc, x, top, bottom);
    ExcludeClipRect(dc, x, top, x + 1, bottom);
    SelectObject(dc, previous);
    DeleteObject(red);
}
