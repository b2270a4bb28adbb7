// Pagination of the grid's layout lines for the printer page (RebuildLayout) and line heights.
#include "grid/grid_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "grid/column_groups.h"
#include "grid/sum_layout.h"
#include "grid/sum_lines.h"
#include "render/text_layout.h"

namespace {

bool IsDotMatrix(const GridModel& model) {
    return model.Metrics(GridDevice::Print).page.printer_kind == kDotMatrixPrinter;
}

std::uint8_t ClampHeight(int lines) { return static_cast<std::uint8_t>(std::clamp(lines, 1, 255)); }

LayoutLine MakeLine(std::uint8_t kind, std::uint32_t key = 0, std::uint8_t flags = 0) {
    LayoutLine line{};
    line.key = key;
    line.kind = kind;
    line.flags = flags;
    line.height = 1;
    return line;
}

// A run of `count` data rows from position `first` of the row order, each as the list holds it.
LayoutLine RowRun(const GridModel& model, int first, int count) {
    LayoutLine run = MakeLine(LineKind::DataRun, static_cast<std::uint32_t>(first), model.RowOfOrder(first).flags);
    run.ordinal = static_cast<std::uint32_t>(count);
    return run;
}

// The lines that open and close each page; everything here depends only on the page index and
// on whether the page ends the table, so the rebuild makes them once per page in a small array.
class PageFrame {
public:
    PageFrame(const GridModel& model, const LineMetrics& print)
        : style_(model.GetTableStyle()),
          print_(print),
          has_header_(model.GetHeaderText()[0] != '\0'),
          has_footer_(model.GetFooterText()[0] != '\0') {
        titles_height_ = RowHeightLines(model, MakeLine(LineKind::Titles));
        header_height_ = RowHeightLines(model, MakeLine(LineKind::Header));
        footer_height_ = RowHeightLines(model, MakeLine(LineKind::Footer));
    }

    bool Has(std::uint32_t flag) const { return (style_.flags & flag) != 0; }

    // Whether the page's number is shown at all (page 1 only with PageColNumbers).
    bool ShowsNumber(int page) const { return page > 0 || Has(TableFlags::PageColNumbers); }
    bool NumberAtTop() const {
        return style_.page_number_position >= PageNumberPosition::TopLeft &&
               style_.page_number_position <= PageNumberPosition::TopRight;
    }
    bool NumberAtBottom() const {
        return style_.page_number_position >= PageNumberPosition::BottomLeft &&
               style_.page_number_position <= PageNumberPosition::BottomRight;
    }

    // The first data row of a later page gets a rule above it when no titles or column
    // numbers stand over it.
    bool FirstRowNeedsRuleAbove(int page) const {
        return page > 0 && !Has(TableFlags::PageColTitles) && !Has(TableFlags::ColNumbers);
    }

    // Page number and blank, header, titles, column numbers, as page `page` shows them.
    int Top(int page, LayoutLine* out) const {
        int count = 0;
        if (NumberAtTop() && ShowsNumber(page)) {
            out[count++] = MakeLine(LineKind::PageNumber, static_cast<std::uint32_t>(page + 1));
            out[count++] = MakeLine(LineKind::Blank);
        }
        if (has_header_ && (page == 0 || Has(TableFlags::PageHeader))) {
            out[count] = MakeLine(LineKind::Header);
            out[count++].height = header_height_;
        }
        if (page == 0 || Has(TableFlags::PageColTitles)) {
            out[count] = MakeLine(LineKind::Titles);
            out[count++].height = titles_height_;
        }
        if (Has(TableFlags::ColNumbers)) {
            std::uint8_t flags = LineFlags::RuleBelow;
            if (page > 0 && !Has(TableFlags::PageColTitles)) flags |= LineFlags::RuleAbove;
            out[count++] = MakeLine(LineKind::ColumnNumbers, 0, flags);
        }
        return count;
    }

    // Footer, date, blank and page number. `ends_table`: nothing follows the page's last row.
    int Bottom(int page, bool ends_table, LayoutLine* out) const {
        int count = 0;
        if (has_footer_ && (Has(TableFlags::PageFooter) || ends_table)) {
            out[count] = MakeLine(LineKind::Footer);
            out[count++].height = footer_height_;
        }
        if (Has(TableFlags::PageDate)) out[count++] = MakeLine(LineKind::DateLine);
        if (NumberAtBottom() && ShowsNumber(page)) {
            out[count++] = MakeLine(LineKind::Blank);
            out[count++] = MakeLine(LineKind::PageNumber, static_cast<std::uint32_t>(page + 1));
        }
        return count;
    }

    int Height(const LayoutLine* lines, int count) const {
        int height = 0;
        for (int i = 0; i < count; ++i) height += LineHeight(lines[i], print_);
        return height;
    }

private:
    TableStyle style_;
    LineMetrics print_;
    bool has_header_;
    bool has_footer_;
    std::uint8_t titles_height_ = 1;
    std::uint8_t header_height_ = 1;
    std::uint8_t footer_height_ = 1;
};

// The page height less its margins, in 64 bits: settings from a file may hold any value, and
// margins beyond the paper leave no room (a page then keeps one row).
int AvailableLines(std::int32_t height, std::int32_t top, std::int32_t bottom) {
    const std::int64_t available = static_cast<std::int64_t>(height) - top - bottom;
    return static_cast<int>(std::clamp<std::int64_t>(available, INT32_MIN, INT32_MAX));
}

// Room for the most lines one page top or bottom can have.
constexpr int kMostFrameLines = 6;

// --- Pages with sum lines ------------------------------------------------------------------

// Paginates the data rows that make up the whole list with the sum lines the layout asks for
// (grid/sum_layout.h), as RebuildLayout does without them: per page its top lines, the
// brought-forward line, its rows with a group line after each group's last row, the page's
// foot sum lines, its bottom lines (kept on pages before the last only with PageFooter) and a
// page break. A group line and its row go to a page together. Every sum line has a rule below
// it, and the row before one has a rule below it too, so each is boxed. Returns the pages, or
// -1 when the list cannot hold them (it then keeps the bare rows).
int PaginateWithSums(GridModel& model, int rows, int available, const PageFrame& frame, const LineMetrics& print,
                     bool keep_page_bottoms) {
    const SumLinePlan plan = PrepareSumLines(model);
    const std::vector<std::uint8_t> group_ends = plan.group_totals ? FindGroupEnds(model) : std::vector<std::uint8_t>();
    auto ends_group = [&group_ends](int index) {
        return static_cast<std::size_t>(index) < group_ends.size() && group_ends[static_cast<std::size_t>(index)] != 0;
    };
    auto brought = [&plan](int page) { return plan.brought_forward && page > 0; };
    auto brought_line = [&frame](int page) {
        return MakeLine(LineKind::BroughtForward, 0,
                        LineFlags::RuleBelow | (frame.FirstRowNeedsRuleAbove(page) ? LineFlags::RuleAbove : 0));
    };
    // A row as page `page`, whose first row is `first`, shows it.
    auto shown_row = [&](int index, int page, int first) {
        LayoutLine line = model.RowOfOrder(index);
        if (ends_group(index)) line.flags |= LineFlags::RuleBelow;
        if (index == first && !brought(page) && frame.FirstRowNeedsRuleAbove(page)) line.flags |= LineFlags::RuleAbove;
        return line;
    };
    const int sum_height = LineHeight(MakeLine(LineKind::EndTotal, 0, LineFlags::RuleBelow), print);
    const int note_height = LineHeight(MakeLine(LineKind::SumNote), print);
    // Most rows are one text line high: their heights by rule flags are looked up, not measured.
    int one_line_rows[4];
    for (std::uint8_t flags = 0; flags < 4; ++flags) one_line_rows[flags] = LineHeight(MakeLine(LineKind::DataRow, 0, flags), print);
    auto row_height = [&](const LayoutLine& line) {
        return line.height == 1 ? one_line_rows[line.flags & 3] : LineHeight(line, print);
    };
    auto unit = [&](int index, int page, int first) {
        return row_height(shown_row(index, page, first)) + (ends_group(index) ? sum_height : 0);
    };
    auto foot_lines = [&plan](bool ends_table) {
        return (plan.page_totals ? (ends_table ? 1 : 2) : 0) + (ends_table && plan.end_total ? 1 : 0) +
               (ends_table && plan.note ? 1 : 0);
    };
    auto foot_height = [&](bool ends_table) {
        return (foot_lines(ends_table) - (ends_table && plan.note ? 1 : 0)) * sum_height +
               (ends_table && plan.note ? note_height : 0);
    };

    std::vector<SumPage> spans;
    PageSums page_sums(model);
    auto key_of = [&model](int index) { return std::uint32_t{model.RowOfOrder(index).key}; };
    std::int64_t total = 0;
    std::int64_t sum_lines = 0;
    LayoutLine top[kMostFrameLines];
    LayoutLine bottom[kMostFrameLines];
    int first = 0;
    for (int page = 0; first < rows; ++page) {
        const int top_count = frame.Top(page, top);
        int used = frame.Height(top, top_count) + (brought(page) ? LineHeight(brought_line(page), print) : 0) +
                   unit(first, page, first);
        int groups = ends_group(first) ? 1 : 0;
        int last = first;
        page_sums.Add(key_of(first));
        if (group_ends.empty()) {
            // Without groups a row after the page's first is as the list holds it.
            while (last + 1 < rows) {
                const LayoutLine line = model.RowOfOrder(last + 1);
                const int height = row_height(line);
                if (used + height > available) break;
                used += height;
                ++last;
                page_sums.Add(line.key);
            }
        }
        while (last + 1 < rows) {
            const int height = unit(last + 1, page, first);
            if (used + height > available) break;
            used += height;
            ++last;
            page_sums.Add(key_of(last));
            if (ends_group(last)) ++groups;
        }
        // What closes the page after row `end`: its rule, the foot sum lines and the bottom
        // lines; rows go to the next page until they fit, a page keeping at least one.
        auto closing = [&](int end) {
            const bool ends_table = end + 1 == rows;
            const int rule = (shown_row(end, page, first).flags & LineFlags::RuleBelow) ? 0 : print.rule_width;
            return rule + foot_height(ends_table) + frame.Height(bottom, frame.Bottom(page, ends_table, bottom));
        };
        while (last > first && used + closing(last) > available) {
            used -= unit(last, page, first);
            page_sums.Remove(key_of(last));
            if (ends_group(last)) --groups;
            --last;
        }
        page_sums.ClosePage();
        const bool ends_table = last + 1 == rows;
        const int kept_bottom = (ends_table || keep_page_bottoms) ? frame.Bottom(page, ends_table, bottom) : 0;
        const int page_sum_lines = (brought(page) ? 1 : 0) + groups + foot_lines(ends_table);
        total += top_count + (last - first + 1) + page_sum_lines + kept_bottom + (ends_table ? 0 : 1);
        sum_lines += page_sum_lines;
        spans.push_back({first, last});
        first = last + 1;
    }
    // Without memory for the sums the lines stand, showing none.
    ComputeSumLines(model, spans, page_sums.Sums(), group_ends, plan, static_cast<std::size_t>(sum_lines));

    if (total > INT32_MAX || sum_lines > UINT32_MAX) return -1;
    // Page by page: rows whose flags the page changes are lines of their own (the last, those
    // that end a group and a first row that takes a rule above), the rows between them runs.
    // Sum line keys count up in list order, as ComputeSumLines made the sums.
    try {
        std::vector<LayoutLine> entries;
        std::uint32_t key = 0;
        auto put_sum = [&](std::uint8_t kind, std::uint8_t flags) { entries.push_back(MakeLine(kind, key++, flags)); };
        for (std::size_t page_index = 0; page_index < spans.size(); ++page_index) {
            const int page = static_cast<int>(page_index);
            const SumPage span = spans[page_index];
            const bool ends_table = span.last + 1 == rows;
            const int top_count = frame.Top(page, top);
            entries.insert(entries.end(), top, top + top_count);
            if (brought(page)) {
                LayoutLine line = brought_line(page);
                line.key = key++;
                entries.push_back(line);
            }
            const bool first_rule = !brought(page) && frame.FirstRowNeedsRuleAbove(page);
            auto plain = [&](int index) {
                return index != span.last && !ends_group(index) && !(index == span.first && first_rule);
            };
            for (int index = span.first; index <= span.last;) {
                if (!plain(index)) {
                    LayoutLine line = shown_row(index, page, span.first);
                    if (index == span.last) line.flags |= LineFlags::RuleBelow;
                    entries.push_back(line);
                    if (ends_group(index)) put_sum(LineKind::GroupTotal, LineFlags::RuleBelow);
                    ++index;
                    continue;
                }
                int end = index + 1;
                while (end <= span.last && plain(end)) ++end;
                entries.push_back(RowRun(model, index, end - index));
                index = end;
            }
            if (plan.page_totals) put_sum(LineKind::PageTotal, LineFlags::RuleBelow);
            if (!ends_table && plan.page_totals) put_sum(LineKind::CarriedTotal, LineFlags::RuleBelow);
            if (ends_table && plan.end_total) put_sum(LineKind::EndTotal, LineFlags::RuleBelow);
            if (ends_table && plan.note) put_sum(LineKind::SumNote, 0);
            if (ends_table || keep_page_bottoms) {
                const int bottom_count = frame.Bottom(page, ends_table, bottom);
                entries.insert(entries.end(), bottom, bottom + bottom_count);
            }
            if (!ends_table) entries.push_back(MakeLine(LineKind::PageBreak));
        }
        model.SetLayoutEntries(entries);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return static_cast<int>(spans.size());
}

}  // namespace

LineMetrics LineMetricsOf(const GridModel& model, GridDevice device) {
    if (device == GridDevice::Print && IsDotMatrix(model)) return LineMetrics{1, 1, 0};
    const DeviceMetrics& metrics = model.Metrics(device);
    return LineMetrics{metrics.font_height, metrics.rule_width, metrics.cell_padding};
}

int SubLineHeight(const LayoutLine& line, int sub_line, const LineMetrics& metrics) {
    const int h = metrics.font_height;
    const int r = metrics.rule_width;
    const int p = metrics.cell_padding;
    const bool first = sub_line == 0;
    const bool last = sub_line == line.height - 1;
    switch (line.kind) {
        case LineKind::DataRow:
        case LineKind::GroupTotal:
        case LineKind::PageTotal:
        case LineKind::CarriedTotal:
        case LineKind::BroughtForward:
        case LineKind::EndTotal: {
            int height = h;
            if (first) height += p + ((line.flags & LineFlags::RuleAbove) ? r : 0);
            if (last) height += p + ((line.flags & LineFlags::RuleBelow) ? r : 0);
            return height;
        }
        case LineKind::Titles:
            // Drawn with the cell padding above and below the text, like a data row.
            return h + (first ? r + kTitleExtra + p : 0) + (last ? r + kTitleExtra + p : 0);
        case LineKind::ColumnNumbers:
            return h + 2 * p + ((line.flags & LineFlags::RuleAbove) ? r : 0) +
                   ((line.flags & LineFlags::RuleBelow) ? r : 0);
        case LineKind::Header:
        case LineKind::Footer:
        case LineKind::SumNote:
            return h + (first ? p : 0) + (last ? p : 0);
        default:
            return h;
    }
}

int LineHeight(const LayoutLine& line, const LineMetrics& metrics) {
    if (line.kind == LineKind::ColumnNumbers) return SubLineHeight(line, 0, metrics);
    // The sub-lines between the first and the last are plain text lines.
    const int lines = std::max<int>(line.height, 1);
    int height = lines * metrics.font_height;
    if (lines == 1) return SubLineHeight(line, 0, metrics);
    height += SubLineHeight(line, 0, metrics) - metrics.font_height;
    height += SubLineHeight(line, lines - 1, metrics) - metrics.font_height;
    return height;
}

// Whether every data row is one line high: no visible column wraps its text or shows a
// picture, so there is nothing to measure per row.
static bool DataRowsAreOneLine(const GridModel& model) {
    if (!model.GetCellTextSource().Present()) return true;
    for (int i = 0; i < model.ColumnCount(); ++i) {
        const GridColumn& column = *model.Column(i);
        if (!(column.flags & ColumnFlags::Visible)) continue;
        if (column.type == ColumnType::Picture) return false;
        if ((column.flags & ColumnFlags::TextFlow) && !(column.flags & ColumnFlags::Abbreviate)) return false;
    }
    return true;
}

std::uint8_t RowHeightLines(const GridModel& model, const LayoutLine& line) {
    const TextMeter& meter = model.Device(GridDevice::Print).Meter();
    switch (line.kind) {
        case LineKind::DataRow: {
            if (!model.GetCellTextSource().Present()) return 1;
            const DeviceMetrics& print = model.Metrics(GridDevice::Print);
            const int screen_font_height = model.Metrics(GridDevice::Screen).font_height;
            int lines = 1;
            char text[kCellTextLimit + 1];
            for (int i = 0; i < model.ColumnCount(); ++i) {
                const GridColumn& column = *model.Column(i);
                if (!(column.flags & ColumnFlags::Visible)) continue;
                if (column.type == ColumnType::Picture) {
                    if (model.CellText(line, i, text) == 0 || model.Pictures() == nullptr || screen_font_height <= 0) {
                        continue;
                    }
                    PictureSize size{};
                    if (!model.Pictures()->SizeOf(text, size)) continue;
                    lines = std::max(lines, (size.height + screen_font_height - 1) / screen_font_height);
                } else if ((column.flags & ColumnFlags::TextFlow) && !(column.flags & ColumnFlags::Abbreviate)) {
                    const int length = model.CellText(line, i, text);
                    // A bold column prints, and so breaks its lines, in the bold font.
                    const bool bold = (column.flags & ColumnFlags::Bold) != 0;
                    if (bold) model.Device(GridDevice::Print).SelectBold(true);
                    int wrapped = CountWrappedLines(meter, text, static_cast<std::size_t>(length),
                                                    column.print_width - print.text_inset - kPrintCellMargin);
                    if (bold) model.Device(GridDevice::Print).SelectBold(false);
                    if (column.max_lines > 0) wrapped = std::min(wrapped, static_cast<int>(column.max_lines));
                    lines = std::max(lines, wrapped);
                }
            }
            return ClampHeight(lines);
        }
        case LineKind::Titles: {
            // Counted as they are drawn: in bold with BoldHeader, wrapped at the cell width
            // less the text inset.
            MeasuringDevice& device = model.Device(GridDevice::Print);
            const bool bold = (model.GetTableStyle().flags & TableFlags::BoldHeader) != 0;
            if (bold) device.SelectBold(true);
            const int inset = std::max(model.Metrics(GridDevice::Print).text_inset, 0);
            int lines = 1;
            for (int i = 0; i < model.ColumnCount(); ++i) {
                const GridColumn& column = *model.Column(i);
                const std::string_view title = model.ColumnTitleText(i);
                if (!(column.flags & ColumnFlags::Visible) || title.empty()) continue;
                lines = std::max(lines, CountWrappedLines(meter, title.data(), title.size(), column.print_width - inset));
            }
            if (bold) device.SelectBold(false);
            return ClampHeight(lines);
        }
        case LineKind::Header: {
            const char* text = model.GetHeaderText();
            return CountTextLines(text, std::strlen(text));
        }
        case LineKind::Footer: {
            const char* text = model.GetFooterText();
            return CountTextLines(text, std::strlen(text));
        }
        default:
            return 1;
    }
}

bool TitleBandHeightChanged(const GridModel& model) {
    for (int i = 0; i < model.LineCount(); ++i) {
        const LayoutLine line = model.Line(i);
        if (line.kind == LineKind::DataRow) return false;  // titles stand above the first row
        if (line.kind != LineKind::Titles) continue;
        MeasuringDevice& device = model.Device(GridDevice::Print);
        FontRun font_run(device, model.GetFont());
        return RowHeightLines(model, line) != line.height;
    }
    return false;
}

// The lines are rebuilt from the data rows alone: each page is its top lines, the rows that fit
// the page with its bottom lines, and the bottom lines (kept on pages before the last only with
// PageFooter), then a PageBreak. The new list is written front to back in one pass, so the cost
// grows with the number of lines, never with lines times pages.
void GridModel::RebuildLayout() {
    MeasuringDevice& print_device = Device(GridDevice::Print);
    FontRun font_run(print_device, font_);

    // The data rows in list order become the row order, unpaginated, measured and numbered
    // afresh. A list that is that already (a new table, a sort) keeps its keys as they are.
    int data_rows = 0;
    if (DataRowsFollowRowOrder(data_rows)) {
        PutRowOrderUnpaginated(static_cast<std::uint32_t>(data_rows));
    } else {
        std::vector<std::uint32_t> keys = DataRowKeys();
        // Without memory for the keys the list stays as it is.
        if (keys.empty() && data_rows > 0) return;
        SetRowOrder(std::move(keys));
    }
    const int rows = LineCount();
    const std::uint8_t base_flags = (style_.flags & TableFlags::HorzLines) ? LineFlags::RuleBelow : 0;
    // Heights are kept only when some row is taller than one line; without a wrapping or
    // picture column none can be, and no row needs measuring.
    std::vector<std::uint8_t> heights;
    const int measured_rows = DataRowsAreOneLine(*this) ? 0 : rows;
    for (int i = 0; i < measured_rows; ++i) {
        const std::uint8_t height = RowHeightLines(*this, RowOfOrder(i));
        if (height != 1 && heights.empty()) {
            try {
                heights.assign(static_cast<std::size_t>(rows), 1);
            } catch (const std::bad_alloc&) {
                continue;  // every row then counts as one line high
            }
        }
        if (!heights.empty()) heights[static_cast<std::size_t>(i)] = height;
    }
    SetRowHeights(std::move(heights));
    const LineMetrics print = LineMetricsOf(*this, GridDevice::Print);
    int available = 0;
    if (IsDotMatrix(*this)) {
        const PrintSettings settings = CurrentPrintSettings();
        available = AvailableLines(settings.paper_height, settings.top_margin, settings.bottom_margin);
    } else {
        available = AvailableLines(print_.page.paper_height, print_.page.top_margin, print_.page.bottom_margin);
        // A table scaled down to the width takes proportionally more rows on a page.
        available = UnscaledLength(available, PrintScale(*this));
    }

    const PageFrame frame(*this, print);
    const bool keep_page_bottoms = (style_.flags & TableFlags::PageFooter) != 0;
    if (HasSummedColumns(*this)) {
        const int pages = PaginateWithSums(*this, rows, available, frame, print, keep_page_bottoms);
        page_count_ = pages >= 0 ? pages : (rows > 0 ? 1 : 0);
        RecountTextLines();
        return;
    }
    // Without summed columns nothing is kept: a column summed again is read again.
    sums_.ForgetSums();
    sums_.ForgetValues();
    auto row = [this](int index) { return RowOfOrder(index); };
    // First the pages' row spans, then the list: per page its own lines and the rows between
    // its first and last as one run, so the list holds a few entries a page.
    struct PageSpan {
        int first;
        int last;
    };
    std::vector<PageSpan> spans;
    std::int64_t total = 0;
    std::int64_t entry_total = 0;
    // The entries of a page's rows. With a rule below every row its last row is a row of the
    // run, and so is its first when it takes no rule above: the page's rows are then one entry.
    struct PageRows {
        bool first_alone;
        bool last_alone;
        int run_first;
        int run_last;  // a run when not below run_first
        int entries;
    };
    const bool rule_below_every_row = (base_flags & LineFlags::RuleBelow) != 0;
    auto page_rows = [&](int page, int first_row, int last_row) {
        PageRows rows_of_page{};
        rows_of_page.first_alone = !rule_below_every_row || frame.FirstRowNeedsRuleAbove(page);
        rows_of_page.last_alone = !rule_below_every_row && last_row > first_row;
        rows_of_page.run_first = rows_of_page.first_alone ? first_row + 1 : first_row;
        rows_of_page.run_last = rows_of_page.last_alone ? last_row - 1 : last_row;
        rows_of_page.entries = (rows_of_page.first_alone ? 1 : 0) + (rows_of_page.last_alone ? 1 : 0) +
                               (rows_of_page.run_last >= rows_of_page.run_first ? 1 : 0);
        return rows_of_page;
    };
    LayoutLine top[kMostFrameLines];
    LayoutLine bottom[kMostFrameLines];

    int first = 0;
    for (int page = 0; first < rows; ++page) {
        LayoutLine first_row = row(first);
        if (frame.FirstRowNeedsRuleAbove(page)) first_row.flags |= LineFlags::RuleAbove;
        const int top_count = frame.Top(page, top);
        int used = frame.Height(top, top_count) + LineHeight(first_row, print);

        // The rows that fit under the top lines...
        int last = first;
        while (last + 1 < rows) {
            const int height = LineHeight(row(last + 1), print);
            if (used + height > available) break;
            used += height;
            ++last;
        }
        // ...less those the bottom lines push to the next page; a page keeps at least one row.
        const int bottom_count = frame.Bottom(page, last + 1 == rows, bottom);
        const int bottom_height = frame.Height(bottom, bottom_count);
        while (used + bottom_height > available && last > first) {
            used -= LineHeight(row(last), print);
            --last;
        }
        const bool ends_table = last + 1 == rows;
        // Again for the page now known to end the table or not.
        const int kept_bottom = (ends_table || keep_page_bottoms) ? frame.Bottom(page, ends_table, bottom) : 0;
        total += top_count + (last - first + 1) + kept_bottom + (ends_table ? 0 : 1);
        // The entries: the page's own lines, its first row, a run between, its last row.
        entry_total += top_count + page_rows(page, first, last).entries + kept_bottom +
                       (ends_table ? 0 : 1);
        spans.push_back({first, last});
        first = last + 1;
    }
    const int pages = static_cast<int>(spans.size());

    // When the list cannot hold the pages it keeps the bare data rows. The entries are written
    // in place: a list of a million rows is then never held twice.
    try {
        if (total > INT32_MAX) throw std::bad_alloc();
        LayoutLine* entries = BeginLayoutEntries(entry_total);
        if (entries == nullptr && entry_total > 0) throw std::bad_alloc();
        for (int page = 0; page < pages; ++page) {
            const PageSpan span = spans[static_cast<std::size_t>(page)];
            const bool ends_table = span.last + 1 == rows;
            const int top_count = frame.Top(page, top);
            entries = std::copy(top, top + top_count, entries);
            // The page's first row may take a rule above, its last closes it with a rule; the
            // rows between keep their flags and go as one run.
            const PageRows rows_of_page = page_rows(page, span.first, span.last);
            if (rows_of_page.first_alone) {
                LayoutLine first_row = row(span.first);
                if (frame.FirstRowNeedsRuleAbove(page)) first_row.flags |= LineFlags::RuleAbove;
                if (span.last == span.first) first_row.flags |= LineFlags::RuleBelow;
                *entries++ = first_row;
            }
            if (rows_of_page.run_last >= rows_of_page.run_first) {
                LayoutLine run = MakeLine(LineKind::DataRun, static_cast<std::uint32_t>(rows_of_page.run_first), base_flags);
                run.ordinal = static_cast<std::uint32_t>(rows_of_page.run_last - rows_of_page.run_first + 1);
                *entries++ = run;
            }
            if (rows_of_page.last_alone) {
                LayoutLine last_row = row(span.last);
                last_row.flags |= LineFlags::RuleBelow;
                *entries++ = last_row;
            }
            if (ends_table || keep_page_bottoms) {
                const int bottom_count = frame.Bottom(page, ends_table, bottom);
                entries = std::copy(bottom, bottom + bottom_count, entries);
            }
            if (!ends_table) *entries++ = MakeLine(LineKind::PageBreak);
        }
        IndexLayoutEntries();
    } catch (const std::bad_alloc&) {
        PutRowOrderUnpaginated(static_cast<std::uint32_t>(rows));
        page_count_ = rows > 0 ? 1 : 0;
        RecountTextLines();
        return;
    }
    page_count_ = pages;
    RecountTextLines();
}
