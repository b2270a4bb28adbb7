// Print jobs on a printer device context and the drawing of one page with the line painters.
#include "print/windows_printing_win32.h"

#include <cstring>
#include <optional>

#include "grid/column_groups.h"
#include "grid/gdi_canvas_win32.h"
#include "grid/grid_paint_win32.h"
#include "grid/table_fonts_win32.h"
#include "print/dot_matrix.h"
#include "print/page_paint.h"
#include "print/printer_services_win32.h"

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

void PrintPage(Grid& grid, int page_index, int group_index, bool exchange_margins) {
    const HDC dc = grid.PrintContext();
    GridModel& model = grid.Model();
    if (dc == nullptr || group_index >= model.PrintState().column_groups) return;
    int first = 0;
    int end = 0;
    if (!FindPageLines(model, page_index, first, end)) return;
    ColumnGroup group;
    if (!FindColumnGroup(model, group_index, group)) return;

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
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[32];
    FormatDateLine(now, date);
    GdiCanvas canvas(dc, fonts, true, &grid.Host());
    PaintPageLines(model, canvas, first, end, group, origin, date);
}

WindowsPrintResult PrintJobs(Grid& grid, const PrintSettings& settings, const std::vector<PrintJob>& jobs,
                             PrintJobGrouping grouping, WorkProgress* progress) {
    return grouping == PrintJobGrouping::OneJob ? PrintAsOneJob(grid, settings, jobs, progress)
                                                : PrintJobPerPage(grid, settings, jobs, progress);
}
