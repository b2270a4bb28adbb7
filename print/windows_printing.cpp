// Column groups, print jobs and page origins for printing on Windows printers.
#include "print/windows_printing.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int kMaximumCopies = 5;

}  // namespace

int CountColumnGroups(GridModel& grid) {
    const int groups = std::max(1, static_cast<int>(DivideIntoColumnGroups(grid).size()));
    grid.PrintState().column_groups = groups;
    return groups;
}

bool FitsPageWidth(GridModel& grid) {
    CountColumnGroups(grid);
    const std::int64_t limit = PrintableWidthOnPaper(grid);
    const std::int64_t rule = grid.Metrics(GridDevice::Print).rule_width;
    GridPrintState& state = grid.PrintState();
    std::int64_t width = rule;
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const GridColumn* column = grid.Column(i);
        if (column == nullptr || !(column->flags & ColumnFlags::Visible)) continue;
        const std::int64_t next = width + column->print_width + rule;
        if (next > limit) {
            state.table_width_on_paper = static_cast<int>(width);
            state.first_unfit_column = i;
            return false;
        }
        width = next;
    }
    state.table_width_on_paper = static_cast<int>(width);
    state.first_unfit_column = grid.ColumnCount();
    return true;
}

std::vector<PrintJob> PlanPrintJobs(const WindowsPageRequest& request, int page_count, int group_count) {
    std::vector<PrintJob> jobs;
    const int copies = (request.copies >= 1 && request.copies <= kMaximumCopies) ? request.copies : 1;
    const int first_page = std::max(request.from_page, 1);
    const int last_page = std::min(request.to_page, page_count);
    const int first_group = std::max(request.column_group_from, 1);
    const int last_group = std::min(request.column_group_to, group_count);
    const bool exchange = request.page_subset == 2;
    for (int copy = 1; copy <= copies; ++copy) {
        for (int page = first_page; page <= last_page; ++page) {
            if (request.page_subset == 1 && page % 2 == 0) continue;
            if (request.page_subset == 2 && page % 2 != 0) continue;
            for (int group = first_group; group <= last_group; ++group) {
                jobs.push_back(PrintJob{copy, page, group, exchange});
            }
        }
    }
    return jobs;
}

void FormatPrintJobName(const PrintJob& job, char (&name)[64]) {
    std::snprintf(name, sizeof name, "Linta_%d_%03d_%d", job.copy, job.page, job.column_group);
}

PageOrigin PageOriginOnSheet(const PrintSettings& page, const PageMetrics& strips, bool exchange_margins) {
    const int margin = exchange_margins ? page.right_margin : page.left_margin;
    PageOrigin origin;
    origin.x = strips.unprintable_left >= margin ? 0 : margin - strips.unprintable_left;
    origin.y = strips.unprintable_top >= page.top_margin ? 0 : page.top_margin - strips.unprintable_top;
    return origin;
}

void FormatPrintedPageNumber(std::uint8_t position, int number, char (&text)[24]) {
    const bool centred = position == PageNumberPosition::TopCenter || position == PageNumberPosition::BottomCenter;
    std::snprintf(text, sizeof text, centred ? "- %d -" : "%d.", number);
}
