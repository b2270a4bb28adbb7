// The sums of the sum lines: the summed columns, their amounts over pages and groups, and the
// texts the lines show.
#include "grid/sum_lines.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "grid/bulgarian_keys.h"
#include "grid/sort_filter.h"
#include "grid/sum_layout.h"

namespace {

bool IsSummed(const GridColumn& column) {
    return (column.flags & ColumnFlags::Sum) && (column.flags & ColumnFlags::Visible) &&
           column.source != kRowNumberSource && column.type != ColumnType::Picture;
}

// Position of `source` among the summed sources of the last pagination, or -1.
int SummedIndex(const SumState& state, int source) {
    const auto found = std::find(state.sources.begin(), state.sources.end(), source);
    return found == state.sources.end() ? -1 : static_cast<int>(found - state.sources.begin());
}

int CopyLabel(const char* text, char* buffer) {
    const int length = static_cast<int>(std::strlen(text));
    std::memcpy(buffer, text, static_cast<std::size_t>(length) + 1);
    return length;
}

// Calls `visit(position, row)` for every data row of the list in order.
template <typename Visit>
void ForEachDataRow(const GridModel& model, Visit visit) {
    const int count = model.LineCount();
    int position = 0;
    for (int i = 0; i < count; ++i) {
        const LayoutLine line = model.Line(i);
        if (line.kind == LineKind::DataRow) visit(position++, line);
    }
}

}  // namespace

bool HasSummedColumns(const GridModel& model) {
    for (int i = 0; i < model.ColumnCount(); ++i) {
        if (IsSummed(*model.Column(i))) return true;
    }
    return false;
}

int SumLineCellText(const GridModel& model, const LayoutLine& line, int column, char* buffer) {
    buffer[0] = '\0';
    const GridColumn* record = model.Column(column);
    if (!IsSumLine(line.kind) || line.kind == LineKind::SumNote || record == nullptr || !IsSummed(*record)) return 0;
    const SumState& state = model.Sums();
    const int index = SummedIndex(state, record->source);
    if (index < 0) return 0;
    const std::size_t at = static_cast<std::size_t>(line.key) * state.sources.size() + static_cast<std::size_t>(index);
    if (at >= state.sums.size()) return 0;
    return FormatSum(state.sums[at], state.formats[static_cast<std::size_t>(index)], buffer);
}

int SumLineLabel(const GridModel& model, const LayoutLine& line, char* buffer) {
    buffer[0] = '\0';
    switch (line.kind) {
        case LineKind::GroupTotal: {
            const SumState& state = model.Sums();
            const CellTextSource cells = model.GetCellTextSource();
            if (!model.IsSorted() || !cells.Present() || line.key >= state.label_rows.size()) return 0;
            const int length = std::clamp(
                cells.Fetch(static_cast<int>(state.label_rows[line.key]), model.SortSource(), buffer, kCellTextLimit), 0,
                kCellTextLimit);
            buffer[length] = '\0';
            return length;
        }
        case LineKind::PageTotal:
            return CopyLabel("Общо за страницата", buffer);
        case LineKind::CarriedTotal:
            return CopyLabel("Пренос", buffer);
        case LineKind::BroughtForward:
            return CopyLabel("Пренос от предходна страница", buffer);
        case LineKind::EndTotal:
            return CopyLabel("Общо", buffer);
        case LineKind::SumNote:
            return FormatNotNumberNote(model.Sums().not_numbers, buffer, kCellTextLimit + 1);
        default:
            return 0;
    }
}

LabelSpan FindLabelSpan(const GridModel& model, const int* columns, int count) {
    int first_summed = -1;
    int last_summed = -1;
    for (int i = 0; i < count; ++i) {
        const GridColumn* column = model.Column(columns[i]);
        if (column == nullptr || !IsSummed(*column)) continue;
        if (first_summed < 0) first_summed = i;
        last_summed = i;
    }
    if (first_summed < 0) return {0, std::max(count, 0)};
    if (first_summed > 0) return {0, first_summed};
    return {last_summed + 1, count};
}

SumLinePlan PrepareSumLines(GridModel& model) {
    SumState& state = model.Sums();
    state.ForgetSums();
    for (int i = 0; i < model.ColumnCount(); ++i) {
        const GridColumn& column = *model.Column(i);
        if (IsSummed(column) && SummedIndex(state, column.source) < 0) state.sources.push_back(column.source);
    }
    // Amounts of columns no longer summed go; those of newly summed ones are read.
    state.values.erase(std::remove_if(state.values.begin(), state.values.end(),
                                      [&state](const SumValueColumn& values) {
                                          return SummedIndex(state, values.source) < 0;
                                      }),
                       state.values.end());
    for (int source : state.sources) {
        if (state.ValuesOf(source) != nullptr) continue;
        SumValueColumn values;
        if (!values.Read(model.GetCellTextSource(), source, model.RowCount())) continue;
        state.values.push_back(std::move(values));
    }

    state.formats.assign(state.sources.size(), SumFormat{});
    for (std::size_t c = 0; c < state.sources.size(); ++c) {
        const SumValueColumn* values = state.ValuesOf(state.sources[c]);
        if (values == nullptr) continue;
        std::uint8_t decimals = 0;
        std::uint8_t marks = 0;
        std::int64_t not_numbers = 0;
        ForEachDataRow(model, [&](int, const LayoutLine& row) {
            const std::uint8_t info = values->InfoAt(row.key);
            if (info == SumValueInfo::NotNumber) ++not_numbers;
            if (info & SumValueInfo::Marker) return;
            decimals = std::max<std::uint8_t>(decimals, info & SumValueInfo::DecimalsMask);
            marks |= info;
        });
        SumFormat& format = state.formats[c];
        format.decimals = decimals;
        format.dot_mark = (marks & SumValueInfo::DotMark) && !(marks & SumValueInfo::CommaMark);
        // Values too short to show either way leave the usual groups of three.
        format.grouped = (marks & SumValueInfo::Grouped) || !(marks & SumValueInfo::Ungrouped);
        state.not_numbers += not_numbers;
    }

    const std::uint8_t placement = model.GetPrintOptions().sum_lines;
    SumLinePlan plan;
    plan.page_totals = (placement & SumPlacement::PageTotals) != 0;
    plan.brought_forward = (placement & SumPlacement::BroughtForward) != 0;
    plan.group_totals = (placement & SumPlacement::GroupTotals) && model.IsSorted() && model.GetCellTextSource().Present();
    plan.end_total = !(placement & SumPlacement::NoEndTotal);
    plan.note = plan.end_total && state.not_numbers > 0;
    return plan;
}

std::vector<std::uint8_t> FindGroupEnds(const GridModel& model) {
    std::vector<std::uint8_t> ends;
    const CellTextSource cells = model.GetCellTextSource();
    if (!model.IsSorted() || !cells.Present()) return ends;
    const int source = model.SortSource();
    const std::int32_t type = model.SortKeyType();
    const int year = ClockYear();
    char texts[2][kCellTextLimit + 1];
    int current = 0;
    ForEachDataRow(model, [&](int position, const LayoutLine& row) {
        char* text = texts[current];
        const int length = std::clamp(cells.Fetch(static_cast<int>(row.key), source, text, kCellTextLimit), 0, kCellTextLimit);
        text[length] = '\0';
        if (position > 0 && CompareKeys(texts[1 - current], text, type, false, year) != 0) ends.back() = 1;
        ends.push_back(0);
        current = 1 - current;
    });
    if (!ends.empty()) ends.back() = 1;
    return ends;
}

bool ComputeSumLines(GridModel& model, const std::vector<SumPage>& pages, const std::vector<std::uint8_t>& group_ends,
                     const SumLinePlan& plan, std::size_t count) {
    SumState& state = model.Sums();
    const std::size_t width = state.sources.size();
    try {
        state.sums.assign(count * width, 0);
        state.label_rows.assign(count, 0);
    } catch (const std::bad_alloc&) {
        state.sums = {};
        state.label_rows = {};
        return false;
    }
    std::vector<const SumValueColumn*> values(width);
    for (std::size_t c = 0; c < width; ++c) values[c] = state.ValuesOf(state.sources[c]);
    std::vector<SumUnits> running(width, 0);
    std::vector<SumUnits> page(width, 0);
    std::vector<SumUnits> group(width, 0);
    const std::vector<SumUnits> none(width, 0);
    std::size_t key = 0;
    auto emit = [&](const std::vector<SumUnits>& sums, std::uint32_t label) {
        if (key >= count) return;
        std::copy(sums.begin(), sums.end(), state.sums.begin() + static_cast<std::ptrdiff_t>(key * width));
        state.label_rows[key++] = label;
    };

    // The pages cover the data rows in order, so one walk over the list meets them in turn.
    const int line_count = model.LineCount();
    int line_index = 0;
    int position = 0;
    std::uint32_t group_label = 0;
    bool group_open = false;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const bool ends_table = p + 1 == pages.size();
        if (plan.brought_forward && p > 0) emit(running, 0);
        std::fill(page.begin(), page.end(), 0);
        for (; position <= pages[p].last && line_index < line_count; ++line_index) {
            const LayoutLine row = model.Line(line_index);
            if (row.kind != LineKind::DataRow) continue;
            if (!group_open) group_label = row.key, group_open = true;
            for (std::size_t c = 0; c < width; ++c) {
                SumUnits value = 0;
                if (values[c] == nullptr || !values[c]->ValueAt(row.key, value)) continue;
                running[c] += value;
                page[c] += value;
                group[c] += value;
            }
            if (plan.group_totals && static_cast<std::size_t>(position) < group_ends.size() &&
                group_ends[static_cast<std::size_t>(position)]) {
                emit(group, group_label);
                std::fill(group.begin(), group.end(), 0);
                group_open = false;
            }
            ++position;
        }
        if (plan.page_totals) {
            emit(page, 0);
            if (!ends_table) emit(running, 0);
        }
        if (ends_table && plan.end_total) emit(running, 0);
        if (ends_table && plan.note) emit(none, 0);
    }
    return true;
}
