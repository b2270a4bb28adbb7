// Text, rules and dotted lines on a PageCanvas, placed by the portable text and rule layouts.
#include "render/canvas_text.h"

#include "render/draw_geometry.h"

namespace {

template <typename Layout>
void PaintPieces(PageCanvas& canvas, const char* text, Layout layout, Shade shade) {
    TextPiece piece{};
    while (layout.Next(piece)) {
        PaintTextAt(canvas, piece.count != 0 ? text + piece.start : nullptr, piece.count, piece.box, piece.dx, 0,
                    shade);
    }
}

}  // namespace

void PaintTextAt(PageCanvas& canvas, const char* text, std::size_t count, const PixelRect& rect, int dx, int dy,
                 Shade shade) {
    if (text == nullptr || count == 0) {
        canvas.Fill(rect, shade);
        return;
    }
    const TextExtent extent = canvas.Meter().Measure(text, count);
    const int x = rect.left + dx;
    const int y = rect.top + dy;
    // Fill first: a glyph overhanging its measured box is then kept.
    const FillBands bands = BandsAroundBox(rect, PixelRect{x, y, x + extent.width, y + extent.height});
    for (int i = 0; i < bands.count; ++i) canvas.Fill(bands.bands[i], shade);
    canvas.Text(x, y, text, count);
}

void PaintAlignedLine(PageCanvas& canvas, const char* text, std::size_t count, const PixelRect& rect, int alignment,
                      int padding, int dy, Shade shade) {
    const AlignedLine line = PlaceAlignedLine(canvas.Meter(), text, count, rect, alignment, padding);
    PaintTextAt(canvas, text, line.count, rect, line.x - rect.left, dy, shade);
}

void PaintWrappedText(PageCanvas& canvas, const char* text, std::size_t length, const PixelRect& rect,
                      int left_padding, int right_padding, int dy, int alignment, Shade shade,
                      const LineBreakRule& breaks) {
    const TextMeter& meter = canvas.Meter();
    if (breaks.meter == nullptr) {
        PaintPieces(canvas, text,
                    WrappedTextLayout::ForCell(meter, text, length, rect, left_padding, right_padding, dy, alignment),
                    shade);
    } else {
        PaintPieces(canvas, text,
                    WrappedTextLayout::ForCellBrokenAs(meter, text, length, rect, left_padding, right_padding, dy,
                                                       alignment, breaks),
                    shade);
    }
}

void PaintCenteredWrappedText(PageCanvas& canvas, const char* text, std::size_t length, const PixelRect& rect,
                              int padding, int dy, Shade shade) {
    PaintPieces(canvas, text, WrappedTextLayout::ForTitle(canvas.Meter(), text, length, rect, padding, dy), shade);
}

void PaintHeaderText(PageCanvas& canvas, const char* text, std::size_t length, const PixelRect& rect, int padding,
                     int dy, Shade shade) {
    PaintPieces(canvas, text, HeaderTextLayout(canvas.Meter(), text, length, rect, padding, dy), shade);
}

void PaintVerticalRule(PageCanvas& canvas, int x, int top, int bottom, int line_type) {
    const RuleStrokes rule = VerticalRuleStrokes(x, top, bottom, line_type);
    for (int i = 0; i < rule.count; ++i) {
        const RuleStroke& stroke = rule.strokes[i];
        canvas.RuleLine(stroke.x, stroke.top, stroke.x, stroke.bottom, stroke.white);
    }
}

void PaintDottedLine(PageCanvas& canvas, int left, int right, int y) {
    for (int x = left; x < right; x += 3) {
        canvas.Pixel(x, y, true);
        canvas.Pixel(x + 1, y, false);
        canvas.Pixel(x + 2, y, true);
    }
}
