// A printed page through the line painters, with the page numbers printing draws itself.
#include "print/page_paint.h"

#include <cstring>

#include "grid/line_paint.h"
#include "grid/page_number_text.h"
#include "render/canvas_text.h"

int PaintPrintedPageNumber(const GridModel& model, PageCanvas& canvas, int x, int y, int number) {
    const DeviceMetrics& metrics = model.Metrics(GridDevice::Print);
    const int bottom = y + metrics.font_height;
    const std::uint8_t position = model.GetTableStyle().page_number_position;
    char text[48];
    FormatPageNumberText(position, model.GetPrintOptions().page_number_style, number, model.PageCount(), text);
    int alignment = kAlignRight;
    if (position == PageNumberPosition::TopLeft || position == PageNumberPosition::BottomLeft) {
        alignment = kAlignLeft;
    } else if (position == PageNumberPosition::TopCenter || position == PageNumberPosition::BottomCenter) {
        alignment = kAlignCenter;
    }
    const PixelRect box{x, y, x + PrintableWidthOnPaper(model), bottom};
    PaintWrappedText(canvas, text, std::strlen(text), box, metrics.text_inset, kPrintCellMargin, 0, alignment,
                     Shade::White);
    return bottom;
}

void PaintPageLines(GridModel& model, PageCanvas& canvas, int first, int end, const ColumnGroup& group,
                    PageOrigin origin, const char* date_text) {
    model.PrintState().table_width_on_paper = group.width;
    // On paper the client rectangle, the grid style and the page-number edge play no part.
    const LinePaintTarget target{&canvas,     GridDevice::Print, origin.x, group.first_column, group.end_column,
                                 group.width, PixelRect{},       0,        0,                  nullptr,
                                 date_text,   group.key_end_column};
    int y = origin.y;
    for (int i = first; i < end; ++i) {
        const LayoutLine line = model.Line(i);
        if (line.kind == LineKind::PageNumber) {
            y = PaintPrintedPageNumber(model, canvas, origin.x, y, static_cast<int>(line.key));
        } else {
            y = PaintLayoutLine(model, line, y, target);
        }
        // Every painted cell leaves the clip region; on paper the lines are stacked from the top,
        // so all that is painted so far is one band.
        canvas.KeepBandFinished(origin.y, y);
    }
}
