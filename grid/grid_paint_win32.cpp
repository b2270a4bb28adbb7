// Painting the grid's layout lines on the screen and on paper, and the grid window's WM_PAINT.
#include "grid/grid_paint_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "grid/column_groups.h"
#include "grid/grid_layout.h"
#include "grid/grid_view_layout.h"
#include "grid/page_number_text.h"
#include "grid/grid_surface_win32.h"
#include "render/draw_primitives_win32.h"
#include "render/gdi_text_meter_win32.h"
#include "base/mul_div.h"
#include "render/picture_cell_win32.h"
#include "render/text_draw_win32.h"

namespace {

constexpr COLORREF kGrayBackground = 0xC0C0C0;
constexpr COLORREF kBlackColour = RGB(0, 0, 0);
constexpr COLORREF kWhiteColour = RGB(255, 255, 255);

void FillWhite(HDC dc, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    const RECT rect{left, top, right, bottom};
    FillRect(dc, &rect, WhiteBrush());
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

// A horizontal rule from x1 to x2 at y in the selected pen, as wide as the line type. A double
// rule under a row leaves the white middles of the vertical double rules open into its gap.
void DrawHorizontalRule(const GridModel& model, const LinePaintTarget& target, int y, bool bottom_rule) {
    const HDC dc = target.dc;
    const int x1 = target.x0;
    const int x2 = target.x0 + target.table_width;
    const int line_type = model.GetTableStyle().line_type;
    DrawRuleLine(dc, x1, y, x2, y);
    if (line_type == LineType::Single) return;
    if (line_type == LineType::Thick) {
        DrawRuleLine(dc, x1, y + 1, x2, y + 1);
        return;
    }
    if (bottom_rule) {
        const int r = model.Metrics(target.device).rule_width;
        int middle = x1 + 1;
        SetPixel(dc, middle, y, kWhiteColour);
        ForEachPaintedColumn(model, target, [&](int, const GridColumn& column, int) {
            middle += ColumnWidth(column, target.device) + r;
            SetPixel(dc, middle, y, kWhiteColour);
            return true;
        });
    }
    const HGDIOBJ previous = SelectObject(dc, WhitePen());
    DrawRuleLine(dc, x1, y + 1, x2, y + 1);
    SelectObject(dc, previous);
    SetPixel(dc, x1, y + 1, kBlackColour);
    SetPixel(dc, x2 - 1, y + 1, kBlackColour);
    DrawRuleLine(dc, x1, y + 2, x2, y + 2);
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
    DrawVerticalRule(target.dc, target.x0, top, bottom, line_type);
    int x = target.x0 + r;
    ForEachPaintedColumn(model, target, [&](int i, const GridColumn& column, int number) {
        const int right = x + ColumnWidth(column, target.device);
        if (OnScreen(target) && right + r <= target.client.left) {
            x = right + r;
            return true;
        }
        const RECT cell{x, top, right, bottom};
        paint_cell(i, column, cell, number);
        x = right + r;
        return !(OnScreen(target) && x >= target.client.right);
    });
}

// The printer's wrap width of a cell and its meter (bold chosen by the caller), when painting
// on screen with the paper's measures at hand; otherwise no rule (the dc's own breaks).
LineBreakRule PaperLines(const GridModel& model, const GridColumn& column, const LinePaintTarget& target) {
    if (target.paper == nullptr) return LineBreakRule{nullptr, 0};
    const DeviceMetrics& print = model.Metrics(GridDevice::Print);
    return LineBreakRule{&target.paper->Meter(), column.print_width - print.text_inset - kPrintCellMargin};
}

void EndCell(const LinePaintTarget& target, const RECT& cell, int line_type) {
    ExcludeClipRect(target.dc, cell.left, cell.top, cell.right, cell.bottom);
    DrawVerticalRule(target.dc, cell.right, cell.top, cell.bottom, line_type);
}

int PaintDataRow(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    const int line_type = model.GetTableStyle().line_type;
    if (line.flags & LineFlags::RuleAbove) {
        DrawHorizontalRule(model, target, y, false);
        y += v.r;
    }
    const int bottom = y + line.height * v.h + 2 * v.p;
    const HDC dc = target.dc;
    const GdiTextMeter meter(dc);
    WalkCells(model, target, y, bottom, [&](int index, const GridColumn& column, const RECT& cell, int) {
        if (!OnScreen(target)) FillRect(dc, &cell, WhiteBrush());
        // Abbreviated forms may be two bytes longer than the text.
        char text[kCellTextLimit + 3];
        std::size_t length = static_cast<std::size_t>(model.CellText(line, index, text));
        if (column.type == ColumnType::Picture) {
            const char* folder = target.host != nullptr ? target.host->PictureFolder() : nullptr;
            if (OnScreen(target)) {
                DrawPictureCell(dc, cell, v.inset, v.p, column.alignment, v.r, text, folder);
            } else {
                const HDC display = target.host != nullptr ? target.host->DisplayContext() : nullptr;
                PrintPictureCell(dc, cell, v.inset, v.p, column.alignment, v.r, text, folder, display);
            }
            return;
        }
        const bool bold = (column.flags & ColumnFlags::Bold) != 0;
        if (bold) target.fonts->SelectBold(true);
        if (target.paper != nullptr) target.paper->SelectBold(bold);
        // What paper decides, the screen shows: the printer's width of the cell's text.
        const LineBreakRule paper_lines = PaperLines(model, column, target);
        if ((column.flags & ColumnFlags::Abbreviate) && length > 0) {
            if (paper_lines.meter != nullptr) {
                length = AbbreviateName(paper_lines.meter, paper_lines.width, text, length, sizeof text);
            } else {
                length = AbbreviateName(&meter, cell.right - cell.left - v.inset - v.margin, text, length, sizeof text);
            }
        }
        if (length == 0) {
            FillRect(dc, &cell, WhiteBrush());
        } else if ((column.flags & ColumnFlags::TextFlow) && line.height > 1) {
            DrawWrappedTextBrokenAs(dc, text, length, cell, v.inset, v.margin, v.p, column.alignment, WhiteBrush(),
                                    paper_lines);
        } else {
            DrawAlignedLine(dc, text, length, cell, column.alignment, v.inset, v.p, WhiteBrush());
        }
        if (bold) target.fonts->SelectBold(false);
        EndCell(target, cell, line_type);
    });
    int result = bottom;
    if (line.flags & LineFlags::RuleBelow) {
        DrawHorizontalRule(model, target, bottom, true);
        result += v.r;
    }
    return result;
}

// Titles and column numbers: centred text in every cell, on gray with GrayHeader.
int PaintHeading(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    const TableStyle style = model.GetTableStyle();
    const bool titles = line.kind == LineKind::Titles;
    const HDC dc = target.dc;
    const bool gray = (style.flags & TableFlags::GrayHeader) != 0;
    const HBRUSH brush = gray ? LightGrayBrush() : WhiteBrush();
    const COLORREF previous_background = SetBkColor(dc, gray ? kGrayBackground : kWhiteColour);
    const bool bold = titles && (style.flags & TableFlags::BoldHeader);
    if (bold) target.fonts->SelectBold(true);

    if (titles || (line.flags & LineFlags::RuleAbove)) {
        DrawHorizontalRule(model, target, y, false);
        y += v.r;
    }
    const int lines = titles ? std::max<int>(line.height, 1) : 1;
    const int bottom = y + lines * v.h + 2 * v.p;
    WalkCells(model, target, y, bottom, [&](int index, const GridColumn&, const RECT& cell, int number) {
        if (titles) {
            const std::string_view title = model.ColumnTitleText(index);
            DrawCenteredWrappedText(dc, title.data(), title.size(), cell, std::max(v.inset, 0), v.p, brush);
        } else {
            char text[16];
            const int length = std::snprintf(text, sizeof text, "%d", number);
            DrawCenteredWrappedText(dc, text, static_cast<std::size_t>(length), cell, std::max(v.inset, 0), v.p,
                                    brush);
        }
        EndCell(target, cell, style.line_type);
    });
    if (bold) target.fonts->SelectBold(false);
    SetBkColor(dc, previous_background);
    DrawHorizontalRule(model, target, bottom, true);
    return bottom + v.r;
}

int PaintHeaderOrFooter(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    const DeviceValues v = ValuesOf(model, target.device);
    const char* text = line.kind == LineKind::Header ? model.GetHeaderText() : model.GetFooterText();
    const int bottom = y + line.height * v.h + 2 * v.p;
    const RECT box{target.x0, y, target.x0 + target.table_width, bottom};
    DrawHeaderText(target.dc, text, std::strlen(text), box, v.inset, v.p, WhiteBrush());
    return bottom;
}

int PaintDateLine(const GridModel& model, int y, const LinePaintTarget& target) {
    const int h = model.Metrics(target.device).font_height;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    FormatDateLine(now, text);
    const RECT box{target.x0, y, target.x0 + target.table_width, y + h};
    DrawAlignedLine(target.dc, text, std::strlen(text), box, kAlignRight, 0, 0, WhiteBrush());
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
    const RECT box{target.x0, y, std::max(target.x0, target.page_number_right), bottom};
    FillWhite(target.dc, target.client.left, y, box.left, bottom);
    DrawWrappedText(target.dc, text, static_cast<std::size_t>(length), box, v.inset, 2, 0,
                    left ? kAlignLeft : (centred ? kAlignCenter : kAlignRight), WhiteBrush());
    FillWhite(target.dc, box.right, y, target.client.right, bottom);
    return bottom;
}

int PaintPageBreak(const GridModel& model, int y, const LinePaintTarget& target) {
    const int h = model.Metrics(target.device).font_height;
    const int middle = y + h / 2;
    FillWhite(target.dc, target.client.left, y, target.client.right, middle);
    DrawDottedLine(target.dc, target.client.left, target.client.right, middle);
    FillWhite(target.dc, target.client.left, middle + 1, target.client.right, y + h);
    return y + h;
}

// Characters of the dot-matrix printer in screen pixels, at ten characters to the inch.
int CharactersOnScreen(const GridModel& model, int characters) {
    return MulDiv32(characters * 10, model.Device(GridDevice::Screen).Meter().PixelsPerInchX(), 100);
}

// The page's printable width in screen pixels: the screen page copy less its margins, or for
// the dot-matrix printer, whose page is counted in characters, its characters.
int PrintableWidth(const GridModel& model) {
    const PrintSettings settings = model.CurrentPrintSettings();
    if (settings.printer_kind == kDotMatrixPrinter) {
        return CharactersOnScreen(model, settings.paper_width - settings.left_margin - settings.right_margin);
    }
    const PrintSettings& page = model.Metrics(GridDevice::Screen).page;
    // A table fitted to the width is laid out on a page larger by the inverse of its scale.
    return UnscaledLength(static_cast<std::int64_t>(page.paper_width) - page.left_margin - page.right_margin,
                          PrintScale(model));
}

// Farther than any window reaches, well within GDI's coordinate range.
constexpr int kFarBeyondTheWindow = 1 << 24;

}  // namespace

void FormatDateLine(const SYSTEMTIME& time, char (&text)[32]) {
    std::snprintf(text, sizeof text, "%02d.%02d.%04d, %02d:%02d", time.wDay, time.wMonth, time.wYear, time.wHour,
                  time.wMinute);
}

int PaintLayoutLine(const GridModel& model, const LayoutLine& line, int y, const LinePaintTarget& target) {
    switch (line.kind) {
        case LineKind::DataRow:
            return PaintDataRow(model, line, y, target);
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
    FillWhite(target.dc, target.x0, y, target.x0 + target.table_width, y + h);
    return y + h;
}

int PrintableWidthOnScreen(const GridModel& model, std::uint32_t grid_style) {
    return (grid_style & GridStyle::PageWidthMark) ? PrintableWidth(model) : 0;
}

void UpdateGridScrollRanges(GridSurface& grid) {
    GridModel& model = grid.Model();
    if (model.ViewState().total_text_lines == 0) return;
    model.SetLayoutDirty(false);
    model.UpdateTableWidth();
    if (model.ColumnCount() == 0 || grid.Window() == nullptr) return;
    const GridFrame frame = grid.Frame();
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = HorizontalRangeWidth(model, frame);
    info.nPage = static_cast<UINT>(std::max(0L, frame.client.right - static_cast<long>(frame.client.left)));
    SetScrollInfo(grid.Window(), SB_HORZ, &info, TRUE);
    info.nMax = model.ViewState().total_text_lines - 1;
    info.nPage = static_cast<UINT>(std::max(0, model.ViewState().visible_text_lines));
    SetScrollInfo(grid.Window(), SB_VERT, &info, TRUE);
}

void UpdateGridScrollPositions(GridSurface& grid) {
    GridModel& model = grid.Model();
    if (model.ColumnCount() == 0 || grid.Window() == nullptr) return;
    GridViewState& view = model.ViewState();
    SetScrollPos(grid.Window(), SB_HORZ, -view.horizontal_offset, TRUE);
    view.vertical_position = VerticalPositionOf(model);
    SetScrollPos(grid.Window(), SB_VERT, view.vertical_position, TRUE);
}

bool PaintGridWindow(GridSurface& grid, HDC dc) {
    GridModel& model = grid.Model();
    RECT client{};
    GetClientRect(grid.Window(), &client);
    if (model.ColumnCount() == 0) {
        FillRect(dc, &client, LightGrayBrush());
        return false;
    }
    GridViewState& view = model.ViewState();
    const std::uint32_t style_bits = grid.StyleBits();
    const int x0 = client.left + kLeftIndent + view.horizontal_offset;
    // Margins wider than the paper leave no width; absurd ones stay within GDI's coordinates.
    const int printable_width = std::clamp(PrintableWidth(model), 0, kFarBeyondTheWindow);
    // Page numbers end where they end on paper: the printable width from the table's left rule.
    const int page_number_right = x0 + printable_width;
    if (style_bits & GridStyle::PageWidthMark) {
        for (const int mark : PageWidthMarks(model, ToPixelRect(client), printable_width)) {
            if (mark >= client.left && mark < client.right) DrawPageWidthMark(dc, mark, client.top, client.bottom);
        }
    }
    {
        TableFonts fonts(dc, model.GetFont());
        // The dot-matrix printer breaks lines in characters of its own; only a Windows printer's
        // lines are the print measuring device's.
        const bool windows_printer = model.CurrentPrintSettings().printer_kind != kDotMatrixPrinter;
        MeasuringDevice* paper_device = windows_printer ? &model.Device(GridDevice::Print) : nullptr;
        std::optional<FontRun> paper;
        if (paper_device != nullptr) paper.emplace(*paper_device, model.GetFont());
        SetBkColor(dc, kWhiteColour);
        SetTextColor(dc, kBlackColour);
        if (model.IsLayoutDirty()) UpdateGridScrollRanges(grid);

        FillWhite(dc, client.left, client.top, client.right, client.top + kTopBand);
        ExcludeClipRect(dc, client.left, client.top, client.right, client.top + kTopBand);
        if (kLeftIndent + view.horizontal_offset > 0) {
            FillWhite(dc, client.left, client.top, client.left + kLeftIndent + view.horizontal_offset, client.bottom);
        }

        const LineMetrics screen = LineMetricsOf(model, GridDevice::Screen);
        const LayoutLine top_line = model.Line(view.top_line);
        int y = client.top + kTopBand;
        for (int s = 0; s < view.top_sub_line; ++s) y -= SubLineHeight(top_line, s, screen);

        const LinePaintTarget target{dc, GridDevice::Screen, &fonts, x0, 0, model.ColumnCount(),
                                     model.TableWidth(), client, style_bits, page_number_right,
                                     paper_device, &grid.Host()};
        int visible = -view.top_sub_line;
        bool reached_bottom = false;
        LayoutLine line{};
        for (int i = std::max(view.top_line, 0); i < model.LineCount(); ++i) {
            line = model.Line(i);
            const int bottom = PaintLayoutLine(model, line, y, target);
            if (line.kind != LineKind::PageNumber && line.kind != LineKind::PageBreak &&
                x0 + model.TableWidth() < client.right) {
                FillWhite(dc, x0 + model.TableWidth(), y, client.right, bottom);
            }
            visible += line.height;
            if (bottom <= client.bottom) {
                view.last_visible_line = i;
                view.last_visible_sub_line = std::max<int>(line.height, 1) - 1;
                view.last_visible_bottom = bottom;
            }
            y = bottom;
            if (bottom >= client.bottom) {
                reached_bottom = true;
                break;
            }
        }
        if (!reached_bottom) {
            FillWhite(dc, client.left, y, client.right, client.bottom);
        } else {
            for (int s = line.height - 1; s >= 0 && y > client.bottom; --s) {
                y -= SubLineHeight(line, s, screen);
                --visible;
            }
        }
        if (visible == view.visible_text_lines) return false;
        view.visible_text_lines = visible;
        return true;
    }
}
