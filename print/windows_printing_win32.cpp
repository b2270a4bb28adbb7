// Print jobs on a printer device context and the drawing of one page with the line painters.
#include "print/windows_printing_win32.h"

#include <cstring>
#include <optional>

#include "grid/grid_paint_win32.h"
#include "grid/page_number_text.h"
#include "grid/table_fonts_win32.h"
#include "print/dot_matrix.h"
#include "print/printer_services_win32.h"
#include "render/draw_primitives_win32.h"
#include "render/text_draw_win32.h"

namespace {

constexpr DWORD kPauseAfterPageMilliseconds = 1000;

// The grid holds the printer's context only while one page is drawn.
class PrintContextLoan {
public:
    PrintContextLoan(Grid& grid, HDC dc) : grid_(grid) { grid_.SetPrintContext(dc); }
    ~PrintContextLoan() { grid_.SetPrintContext(nullptr); }
    PrintContextLoan(const PrintContextLoan&) = delete;
    PrintContextLoan& operator=(const PrintContextLoan&) = delete;

private:
    Grid& grid_;
};

// A table fitted to the width is drawn as laid out, on the page enlarged by the inverse of its
// scale, and the mapping shrinks it onto the sheet: fonts, rules, pictures and widths together.
// Logical (0, 0) becomes the table's origin on the sheet.
class ScaledDrawing {
public:
    ScaledDrawing(HDC dc, int scale, PageOrigin origin) : dc_(dc) {
        previous_mode_ = SetMapMode(dc_, MM_ANISOTROPIC);
        SetWindowExtEx(dc_, kFullPrintScale, kFullPrintScale, nullptr);
        SetViewportExtEx(dc_, scale, scale, nullptr);
        SetViewportOrgEx(dc_, origin.x, origin.y, nullptr);
    }
    ~ScaledDrawing() {
        SetViewportOrgEx(dc_, 0, 0, nullptr);
        SetMapMode(dc_, previous_mode_);
    }
    ScaledDrawing(const ScaledDrawing&) = delete;
    ScaledDrawing& operator=(const ScaledDrawing&) = delete;

private:
    HDC dc_;
    int previous_mode_ = MM_TEXT;
};

// Farther than any sheet reaches at any resolution, well within GDI's coordinate range.
constexpr int kFarBeyondTheSheet = 1 << 24;

// Starts a document named as `job`'s print job; false when the spooler refused it.
bool StartJobDocument(HDC dc, const PrintJob& job) {
    char name[64];
    FormatPrintJobName(job, name);
    DOCINFOA document{};
    document.cbSize = sizeof document;
    document.lpszDocName = name;
    return StartDocA(dc, &document) > 0;
}

// One page of a started document, the grid holding `dc`; false when the spooler refused it.
bool PrintJobPage(Grid& grid, HDC dc, const PrintJob& job) {
    if (StartPage(dc) <= 0) return false;
    PrintPage(grid, job.page - 1, job.column_group - 1, job.exchange_margins);
    EndPage(dc);
    return true;
}

// One job: false when the spooler refused the job or its page.
bool PrintOneJob(Grid& grid, HDC dc, const PrintJob& job) {
    if (!StartJobDocument(dc, job)) return false;
    PrintContextLoan loan(grid, dc);
    const bool printed = PrintJobPage(grid, dc, job);
    EndDoc(dc);
    return printed;
}

WindowsPrintResult PrintJobPerPage(Grid& grid, const PrintSettings& settings, const std::vector<PrintJob>& jobs,
                                   WorkProgress* progress) {
    const std::int64_t total = static_cast<std::int64_t>(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const HDC dc = CreatePrinterDC(settings, false);
        if (dc == nullptr) return WindowsPrintResult::PrinterNotOpened;
        const bool printed = PrintOneJob(grid, dc, jobs[i]);
        DeleteDC(dc);
        if (!printed) return WindowsPrintResult::Stopped;
        if (progress == nullptr) {
            Sleep(kPauseAfterPageMilliseconds);
        } else if (!progress->KeepGoing(static_cast<std::int64_t>(i) + 1, total) ||
                   !progress->Pause(kPauseAfterPageMilliseconds)) {
            return WindowsPrintResult::Cancelled;
        }
    }
    return WindowsPrintResult::Printed;
}

WindowsPrintResult PrintAsOneJob(Grid& grid, const PrintSettings& settings, const std::vector<PrintJob>& jobs,
                                 WorkProgress* progress) {
    if (jobs.empty()) return WindowsPrintResult::Printed;
    const HDC dc = CreatePrinterDC(settings, false);
    if (dc == nullptr) return WindowsPrintResult::PrinterNotOpened;
    WindowsPrintResult result = WindowsPrintResult::Printed;
    if (!StartJobDocument(dc, jobs.front())) {
        result = WindowsPrintResult::Stopped;
    } else {
        PrintContextLoan loan(grid, dc);
        const std::int64_t total = static_cast<std::int64_t>(jobs.size());
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            if (!PrintJobPage(grid, dc, jobs[i])) {
                result = WindowsPrintResult::Stopped;
                break;
            }
            if (progress != nullptr && i + 1 < jobs.size() &&
                !progress->KeepGoing(static_cast<std::int64_t>(i) + 1, total)) {
                result = WindowsPrintResult::Cancelled;
                break;
            }
        }
        EndDoc(dc);
    }
    DeleteDC(dc);
    return result;
}

}  // namespace

int DrawPageNumber(Grid& grid, int x, int y, int number) {
    const HDC dc = grid.PrintContext();
    const GridModel& model = grid.Model();
    const DeviceMetrics& metrics = model.Metrics(GridDevice::Print);
    const int bottom = y + metrics.font_height;
    if (dc == nullptr) return bottom;
    const std::uint8_t position = model.GetTableStyle().page_number_position;
    char text[48];
    FormatPageNumberText(position, model.GetPrintOptions().page_number_style, number, model.PageCount(), text);
    int alignment = kAlignRight;
    if (position == PageNumberPosition::TopLeft || position == PageNumberPosition::BottomLeft) {
        alignment = kAlignLeft;
    } else if (position == PageNumberPosition::TopCenter || position == PageNumberPosition::BottomCenter) {
        alignment = kAlignCenter;
    }
    const RECT box{x, y, x + PrintableWidthOnPaper(model), bottom};
    DrawWrappedText(dc, text, std::strlen(text), box, metrics.text_inset, kPrintCellMargin, 0, alignment,
                    WhiteBrush());
    return bottom;
}

void PrintPage(Grid& grid, int page_index, int group_index, bool exchange_margins) {
    const HDC dc = grid.PrintContext();
    GridModel& model = grid.Model();
    if (dc == nullptr || group_index >= model.PrintState().column_groups) return;
    int first = 0;
    int end = 0;
    if (!FindPageLines(model, page_index, first, end)) return;
    ColumnGroup group;
    if (!FindColumnGroup(model, group_index, group)) return;
    model.PrintState().table_width_on_paper = group.width;

    PageOrigin origin =
        PageOriginOnSheet(model.Metrics(GridDevice::Print).page, ReadPageMetrics(dc, false), exchange_margins);
    const int scale = PrintScale(model);
    std::optional<ScaledDrawing> scaled;
    if (scale < kFullPrintScale) {
        scaled.emplace(dc, scale, origin);
        origin = PageOrigin{};
    }
    TableFonts fonts(dc, model.GetFont());
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    // On paper the client rectangle, the grid style and the page-number edge play no part.
    const LinePaintTarget target{dc,      GridDevice::Print, &fonts,  origin.x,    group.first_column,
                                 group.end_column, group.width, RECT{}, 0, 0, nullptr, &grid.Host(),
                                 group.key_end_column};
    int y = origin.y;
    for (int i = first; i < end; ++i) {
        const LayoutLine line = model.Line(i);
        if (line.kind == LineKind::PageNumber) {
            y = DrawPageNumber(grid, origin.x, y, static_cast<int>(line.key));
        } else {
            y = PaintLayoutLine(model, line, y, target);
        }
        // Every painted cell leaves the clip region; on paper the lines are stacked from the top,
        // so all that is painted so far is one band. Keeping the region that simple matters:
        // printer drivers send the whole region with every drawing call, and a page's worth of
        // cells made printing slow in proportion to the square of the cells on a page.
        SelectClipRgn(dc, nullptr);
        ExcludeClipRect(dc, -kFarBeyondTheSheet, origin.y, kFarBeyondTheSheet, y);
    }
}

WindowsPrintResult PrintJobs(Grid& grid, const PrintSettings& settings, const std::vector<PrintJob>& jobs,
                             PrintJobGrouping grouping, WorkProgress* progress) {
    return grouping == PrintJobGrouping::OneJob ? PrintAsOneJob(grid, settings, jobs, progress)
                                                : PrintJobPerPage(grid, settings, jobs, progress);
}
