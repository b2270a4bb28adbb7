// The line painters: data rows, titles, column numbers, header and footer, date, page numbers,
// page breaks and blank lines, drawn on any canvas in the device's pixels.
#include "grid/line_paint.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <vector>

#include "grid/page_number_text.h"
#include "grid/sum_lines.h"
#include "render/canvas_text.h"

namespace {

void FillWhite(PageCanvas& canvas, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    canvas.Fill(PixelRect{left, top, right, bottom}, Shade::White);
}

struct DeviceValues {
    int h;       // font height
    int r;       // rule width = line type
    int p;       // cell padding
    int inset;   // text inset
    int margin;  // cell margin
};

DeviceValues ValuesOf(const GridModel& model, GridDevice device) {
    const DeviceMetrics& metrics = model.Metrics(device);
    return DeviceValues{metrics.font_height, metrics.rule_width, metrics.cell_padding, metrics.text_inset,
                        device == GridDevice::Screen ? kScreenCellMargin : kPrintCellMargin};
}

int ColumnWidth(const GridColumn& column, GridDevice device) {
    return device == GridDevice::Screen ? column.width : column.print_width;
}

// Calls visit(index, column, position among the table's visible columns from 1) for the
// visible columns the target paints, left to right: the key columns, then the range; false
// from visit ends the walk. The position counts the columns before the range too, so a later
// column group on paper keeps the table's numbers.
template <typename Visit>
void ForEachPaintedColumn(const GridModel& model, const LinePaintTarget& target, Visit visit) {
    int number = 0;
    for (int i = 0; i < target.key_end_column && i < target.first_column; ++i) {
        const GridColumn* column = model.Column(i);
        if (column == nullptr || !(column->flags & ColumnFlags::Visible)) continue;
        if (!visit(i, *column, ++number)) return;
    }
    number = 0;
    for (int i = 0; i < target.first_column; ++i) {
        if (model.IsColumnVisible(i)) ++number;
    }
    for (int i = target.first_column; i < target.end_column; ++i) {
        const GridColumn* column = model.Column(i);
        if (column == nullptr || !(column->flags & ColumnFlags::Visible)) continue;
        if (!visit(i, *column, ++number)) return;
    }
}

// A horizontal rule from x1 to x2 at y, as wide as the line type. A double rule under a row
// leaves the white middles of the vertical double rules open into its gap.
void DrawHorizontalRule(const GridModel& model, const LinePaintTarget& target, int y, bool bottom_rule) {
    PageCanvas& canvas = *target.canvas;
    const int x1 = target.x0;
    const int x2 = target.x0 + target.table_width;
    const int line_type = model.GetTableStyle().line_type;
    canvas.RuleLine(x1, y, x2, y, false);
    if (line_type == LineType::Single) return;
    if (line_type == LineType::Thick) {
        canvas.RuleLine(x1, y + 1, x2, y + 1, false);
        return;
    }
    if (bottom_rule) {
        const int r = model.Metrics(target.device).rule_width;
        int middle = x1 + 1;
        canvas.Pixel(middle, y, true);
        ForEachPaintedColumn(model, target, [&](int, const GridColumn& column, int) {
            middle += ColumnWidth(column, target.device) + r;
            canvas.Pixel(middle, y, true);
            return true;
        });
    }
    canvas.RuleLine(x1, y + 1, x2, y + 1, true);
    canvas.Pixel(x1, y + 1, false);
    canvas.Pixel(x2 - 1, y + 1, false);
    canvas.RuleLine(x1, y + 2, x2, y + 2, false);
}

bool OnScreen(const LinePaintTarget& target) { return target.device == GridDevice::Screen; }

// Walks the visible columns of the target as the row painters do: the left rule, then each
// cell and its right rule; on screen cells left of the window are skipped and the walk stops at
// its right edge. `paint_cell`(index, column, cell rectangle, position among all the table's
// visible columns from 1) paints one cell and its right rule.
template <typename PaintCell>
void WalkCells(const GridModel& model, const LinePaintTarget& target, int top, int bottom, PaintCell paint_cell) {
    const int r = model.Metrics(target.device).rule_width;
    const int line_type = model.GetTableStyle().line_type;
    PaintVerticalRule(*target.canvas, target.x0, top, bottom, line_type);
    int x = target.x0 + r;
    ForEachPaintedColumn(model, target, [&](int i, const GridColumn& column, int number) {
        const int right = x + ColumnWidth(column, target.device);
        if (OnScreen(target) && right + r <= target.client.left) {
            x = right + r;
            return true;
        }
        const PixelRect cell{x, top, right, bottom};
        paint_cell(i, column, cell, number);
        x = right + r;
        return !(OnScreen(target) && x >= target.client.right);
    });
}

// The printer's wrap width of a cell and its meter (bold chosen by the caller), when painting
// on screen with the paper's measures at hand; otherwise no rule (the canvas's own breaks).
LineBreakRule PaperLines(const GridModel& model, const GridColumn& column, const LinePaintTarget& target) {
    if (target.paper == nullptr) return LineBreakRule{nullptr, 0};
    const DeviceMetrics& print = model.Metrics(GridDevice::Print);
    return LineBreakRule{&target.paper->Meter(), column.print_width - print.text_inset - kPrintCellMargin};
}

void EndCell(const LinePaintTarget& target, const PixelRect& cell, int line_type) {
    target.canvas->ExcludeClip(cell);
    PaintVerticalRule(*target.canvas, cell.right, cell.top, cell.bottom, line_type);
}

int PaintDataRow(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    const int line_type = model.GetTableStyle().line_type;
    if (line.flags & LineFlags::RuleAbove) {
        DrawHorizontalRule(model, target, y, false);
        y += v.r;
    }
    const int bottom = y + line.height * v.h + 2 * v.p;
    PageCanvas& canvas = *target.canvas;
    WalkCells(model, target, y, bottom, [&](int index, const GridColumn& column, const PixelRect& cell, int) {
        if (!OnScreen(target)) canvas.Fill(cell, Shade::White);
        // Abbreviated forms may be two bytes longer than the text.
        char text[kCellTextLimit + 3];
        std::size_t length = static_cast<std::size_t>(model.CellText(line, index, text));
        if (column.type == ColumnType::Picture) {
            canvas.PictureCell(cell, v.inset, v.p, column.alignment, v.r, text);
            return;
        }
        const bool bold = (column.flags & ColumnFlags::Bold) != 0;
        if (bold) canvas.SelectBold(true);
        if (target.paper != nullptr) target.paper->SelectBold(bold);
        // What paper decides, the screen shows: the printer's width of the cell's text.
        const LineBreakRule paper_lines = PaperLines(model, column, target);
        if ((column.flags & ColumnFlags::Abbreviate) && length > 0) {
            if (paper_lines.meter != nullptr) {
                length = AbbreviateName(paper_lines.meter, paper_lines.width, text, length, sizeof text);
            } else {
                length = AbbreviateName(&canvas.Meter(), cell.right - cell.left - v.inset - v.margin, text, length,
                                        sizeof text);
            }
        }
        if (length == 0) {
            canvas.Fill(cell, Shade::White);
        } else if ((column.flags & ColumnFlags::TextFlow) && line.height > 1) {
            PaintWrappedText(canvas, text, length, cell, v.inset, v.margin, v.p, column.alignment, Shade::White,
                             paper_lines);
        } else {
            PaintAlignedLine(canvas, text, length, cell, column.alignment, v.inset, v.p, Shade::White);
        }
        if (bold) canvas.SelectBold(false);
        EndCell(target, cell, line_type);
    });
    int result = bottom;
    if (line.flags & LineFlags::RuleBelow) {
        DrawHorizontalRule(model, target, bottom, true);
        result += v.r;
    }
    return result;
}

// A sum that does not fit its cell becomes "#" marks across it: cut digits would read as
// another amount. Returns the length of what to show.
std::size_t HashesWhenTooNarrow(const TextMeter& meter, char* text, std::size_t length, int room) {
    if (length == 0 || meter.Width(text, length) <= room) return length;
    const int hash = std::max(meter.Width("#", 1), 1);
    const std::size_t count = static_cast<std::size_t>(std::clamp(room / hash, 1, kCellTextLimit));
    std::memset(text, '#', count);
    text[count] = '\0';
    return count;
}

// A sum line, drawn like a data row in bold: the label in one cell over the label span (no
// inner rules), each summed column's sum aligned as the column is, every other cell empty.
int PaintSumLine(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    const int line_type = model.GetTableStyle().line_type;
    if (line.flags & LineFlags::RuleAbove) {
        DrawHorizontalRule(model, target, y, false);
        y += v.r;
    }
    const int bottom = y + std::max<int>(line.height, 1) * v.h + 2 * v.p;
    std::vector<int> painted;
    ForEachPaintedColumn(model, target, [&](int index, const GridColumn&, int) {
        painted.push_back(index);
        return true;
    });
    const LabelSpan span = FindLabelSpan(model, painted.data(), static_cast<int>(painted.size()));
    PageCanvas& canvas = *target.canvas;
    canvas.SelectBold(true);
    PaintVerticalRule(canvas, target.x0, y, bottom, line_type);
    int x = target.x0 + v.r;
    char text[kCellTextLimit + 1];
    for (int k = 0; k < static_cast<int>(painted.size()); ++k) {
        if (OnScreen(target) && x >= target.client.right) break;
        const bool label = k >= span.first && k < span.end;
        int right = x;
        // The label's cell reaches over the span's columns and the rules between them.
        const int last = label ? span.end - 1 : k;
        for (int j = k; j <= last; ++j) {
            right += ColumnWidth(*model.Column(painted[static_cast<std::size_t>(j)]), target.device);
            if (j < last) right += v.r;
        }
        const int next = right + v.r;
        if (OnScreen(target) && next <= target.client.left) {
            x = next;
            k = last;
            continue;
        }
        const PixelRect cell{x, y, right, bottom};
        if (!OnScreen(target)) canvas.Fill(cell, Shade::White);
        std::size_t length = 0;
        int alignment = kAlignLeft;
        if (label) {
            length = static_cast<std::size_t>(SumLineLabel(model, line, text));
        } else {
            const GridColumn& column = *model.Column(painted[static_cast<std::size_t>(k)]);
            length = static_cast<std::size_t>(SumLineCellText(model, line, painted[static_cast<std::size_t>(k)], text));
            alignment = column.alignment;
            length = HashesWhenTooNarrow(canvas.Meter(), text, length, cell.right - cell.left - v.inset);
        }
        if (length == 0) {
            canvas.Fill(cell, Shade::White);
        } else {
            PaintAlignedLine(canvas, text, length, cell, alignment, v.inset, v.p, Shade::White);
        }
        EndCell(target, cell, line_type);
        x = next;
        k = last;
    }
    canvas.SelectBold(false);
    int result = bottom;
    if (line.flags & LineFlags::RuleBelow) {
        DrawHorizontalRule(model, target, bottom, true);
        result += v.r;
    }
    return result;
}

// The note under the end total ("3 стойности не са числа"): plain text across the table, as a
// footer line is, without rules.
int PaintSumNote(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    char text[kCellTextLimit + 1];
    const int length = SumLineLabel(model, line, text);
    const int bottom = y + std::max<int>(line.height, 1) * v.h + 2 * v.p;
    const PixelRect box{target.x0, y, target.x0 + target.table_width, bottom};
    PaintHeaderText(*target.canvas, text, static_cast<std::size_t>(std::max(length, 0)), box, v.inset, v.p,
                    Shade::White);
    return bottom;
}

// Titles and column numbers: centred text in every cell, on gray with GrayHeader.
int PaintHeading(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    const TableStyle style = model.GetTableStyle();
    const bool titles = line.kind == LineKind::Titles;
    PageCanvas& canvas = *target.canvas;
    const bool gray = (style.flags & TableFlags::GrayHeader) != 0;
    const Shade shade = gray ? Shade::LightGray : Shade::White;
    canvas.SetTextBackground(shade);
    const bool bold = titles && (style.flags & TableFlags::BoldHeader);
    if (bold) canvas.SelectBold(true);

    if (titles || (line.flags & LineFlags::RuleAbove)) {
        DrawHorizontalRule(model, target, y, false);
        y += v.r;
    }
    const int lines = titles ? std::max<int>(line.height, 1) : 1;
    const int bottom = y + lines * v.h + 2 * v.p;
    WalkCells(model, target, y, bottom, [&](int index, const GridColumn&, const PixelRect& cell, int number) {
        if (titles) {
            const std::string_view title = model.ColumnTitleText(index);
            PaintCenteredWrappedText(canvas, title.data(), title.size(), cell, std::max(v.inset, 0), v.p, shade);
        } else {
            char text[16];
            const int length = std::snprintf(text, sizeof text, "%d", number);
            PaintCenteredWrappedText(canvas, text, static_cast<std::size_t>(length), cell, std::max(v.inset, 0), v.p,
                                     shade);
        }
        EndCell(target, cell, style.line_type);
    });
    if (bold) canvas.SelectBold(false);
    canvas.SetTextBackground(Shade::White);
    DrawHorizontalRule(model, target, bottom, true);
    return bottom + v.r;
}

int PaintHeaderOrFooter(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    const char* text = line.kind == LineKind::Header ? model.GetHeaderText() : model.GetFooterText();
    const int bottom = y + line.height * v.h + 2 * v.p;
    const PixelRect box{target.x0, y, target.x0 + target.table_width, bottom};
    PaintHeaderText(*target.canvas, text, std::strlen(text), box, v.inset, v.p, Shade::White);
    return bottom;
}

int PaintDateLine(const GridModel& model, int y, const LinePaintTarget& target) {
    const int h = model.Metrics(target.device).font_height;
    const char* text = target.date_text != nullptr ? target.date_text : "";
    const PixelRect box{target.x0, y, target.x0 + target.table_width, y + h};
    PaintAlignedLine(*target.canvas, text, std::strlen(text), box, kAlignRight, 0, 0, Shade::White);
    return y + h;
}

int PaintPageNumber(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    const int bottom = y + v.h;
    const std::uint8_t position = model.GetTableStyle().page_number_position;
    const bool centred = position == PageNumberPosition::TopCenter || position == PageNumberPosition::BottomCenter;
    const bool left = position == PageNumberPosition::TopLeft || position == PageNumberPosition::BottomLeft;
    char text[48];
    const int length = FormatPageNumberText(position, model.GetPrintOptions().page_number_style,
                                            static_cast<int>(line.key), model.PageCount(), text);
    // As on paper: a box from the table's left rule as wide as the page's printable width.
    const PixelRect box{target.x0, y, std::max(target.x0, target.page_number_right), bottom};
    PageCanvas& canvas = *target.canvas;
    FillWhite(canvas, target.client.left, y, box.left, bottom);
    PaintWrappedText(canvas, text, static_cast<std::size_t>(length), box, v.inset, 2, 0,
                     left ? kAlignLeft : (centred ? kAlignCenter : kAlignRight), Shade::White);
    FillWhite(canvas, box.right, y, target.client.right, bottom);
    return bottom;
}

int PaintPageBreak(const GridModel& model, int y, const LinePaintTarget& target) {
    const int h = model.Metrics(target.device).font_height;
    const int middle = y + h / 2;
    PageCanvas& canvas = *target.canvas;
    FillWhite(canvas, target.client.left, y, target.client.right, middle);
    PaintDottedLine(canvas, target.client.left, target.client.right, middle);
    FillWhite(canvas, target.client.left, middle + 1, target.client.right, y + h);
    return y + h;
}

}  // namespace

int PaintLayoutLine(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    switch (line.kind) {
        case LineKind::DataRow:
            return PaintDataRow(model, line, y, target);
        case LineKind::GroupTotal:
        case LineKind::PageTotal:
        case LineKind::CarriedTotal:
        case LineKind::BroughtForward:
        case LineKind::EndTotal:
            return PaintSumLine(model, line, y, target);
        case LineKind::SumNote:
            return PaintSumNote(model, line, y, target);
        case LineKind::Titles:
        case LineKind::ColumnNumbers:
            return PaintHeading(model, line, y, target);
        case LineKind::Header:
        case LineKind::Footer:
            return PaintHeaderOrFooter(model, line, y, target);
        case LineKind::DateLine:
            return PaintDateLine(model, y, target);
        case LineKind::PageNumber:
            if (OnScreen(target)) return PaintPageNumber(model, line, y, target);
            break;
        case LineKind::PageBreak:
            if (OnScreen(target)) return PaintPageBreak(model, y, target);
            break;
        default:
            break;
    }
    // Blank lines, and on paper the screen-only kinds: one text line of white under the table.
    const int h = model.Metrics(target.device).font_height;
    FillWhite(*target.canvas, target.x0, y, target.x0 + target.table_width, y + h);
    return y + h;
}
