// The grid window's WM_PAINT through the line painters on a GDI canvas, and its scroll bars.
#include "grid/grid_paint_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "grid/column_groups.h"
#include "grid/gdi_canvas_win32.h"
#include "grid/grid_layout.h"
#include "grid/grid_view_layout.h"
#include "grid/grid_surface_win32.h"
#include "grid/table_fonts_win32.h"
#include "render/draw_primitives_win32.h"
#include "render/gdi_text_meter_win32.h"
#include "base/mul_div.h"

namespace {

constexpr COLORREF kBlackColour = RGB(0, 0, 0);
constexpr COLORREF kWhiteColour = RGB(255, 255, 255);

void FillWhite(HDC dc, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    const RECT rect{left, top, right, bottom};
    FillRect(dc, &rect, WhiteBrush());
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

        SYSTEMTIME now;
        GetLocalTime(&now);
        char date[32];
        FormatDateLine(now, date);
        GdiCanvas canvas(dc, fonts, false, &grid.Host());
        const LinePaintTarget target{&canvas, GridDevice::Screen, x0, 0, model.ColumnCount(),
                                     model.TableWidth(), ToPixelRect(client), style_bits, page_number_right,
                                     paper_device, date};
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
