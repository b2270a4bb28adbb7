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

// The pixels from `from` towards `to`, `to` itself left out, as [first, end).
void PixelSpan(int from, int to, int& first, int& end) {
    first = from <= to ? from : to + 1;
    end = from <= to ? to : from + 1;
}

// A brush of the selected pen's colour: stock for black and white, the rules' only colours on
// paper; otherwise made here and released by the caller (`made` set).
HBRUSH PenColourBrush(HDC dc, bool& made) {
    made = false;
    LOGPEN pen{};
    const HGDIOBJ selected = GetCurrentObject(dc, OBJ_PEN);
    const COLORREF colour = selected != nullptr && GetObjectA(selected, sizeof pen, &pen) == sizeof pen
                                ? pen.lopnColor
                                : kBlack;
    if (colour == kWhite) return WhiteBrush();
    if (colour == kBlack) return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    made = true;
    return CreateSolidBrush(colour);
}

}  // namespace

void DrawRuleLine(HDC dc, int x1, int y1, int x2, int y2) {
    if (GetDeviceCaps(dc, TECHNOLOGY) != DT_RASPRINTER) {
        MoveToEx(dc, x1, y1, nullptr);
        LineTo(dc, x2, y2);
        return;
    }
    int left = x1;
    int right = x1 + 1;
    int top = y1;
    int bottom = y1 + 1;
    if (y1 == y2) {
        PixelSpan(x1, x2, left, right);
    } else {
        PixelSpan(y1, y2, top, bottom);
    }
    const RECT pixels{left, top, right, bottom};
    bool made = false;
    const HBRUSH brush = PenColourBrush(dc, made);
    if (brush == nullptr) return;
    FillRect(dc, &pixels, brush);
    if (made) DeleteObject(brush);
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
