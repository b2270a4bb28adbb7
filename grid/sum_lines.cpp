// The sums of the sum lines: the summed columns, their amounts over pages and groups, and the
// texts the lines show.
#include "grid/sum_lines.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>

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

// Calls `visit(position, key)` for every data row of the list in order: a pass over a million
// rows per layout.
template <typename Visit>
void ForEachDataRow(const GridModel& model, Visit visit) {
    model.ForEachDataRow([&visit](int position, const LayoutLine& line) { visit(position, std::uint32_t{line.key}); });
}

// A summed column's cache as the adding loop reads it.
struct ValueView {
    const std::int64_t* units = nullptr;
    const std::uint8_t* info = nullptr;
    std::uint32_t size = 0;

    bool ValueAt(std::uint32_t row, SumUnits& value) const {
        static constexpr std::int64_t kScale[] = {1000000, 100000, 10000, 1000, 100, 10, 1, 1};
        if (row >= size) return false;
        const std::uint8_t bits = info[row];
        if (bits & SumValueInfo::Marker) return false;
        value = static_cast<SumUnits>(units[row]) * kScale[bits & SumValueInfo::DecimalsMask];
        return true;
    }
};

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

    // A view of every row has the whole table's marks, found when the amounts were read;
    // a filtered one is looked at row by row.
    int view_rows = 0;
    ForEachDataRow(model, [&view_rows](int, std::uint32_t) { ++view_rows; });
    const bool whole_table = view_rows == model.RowCount();
    state.formats.assign(state.sources.size(), SumFormat{});
    for (std::size_t c = 0; c < state.sources.size(); ++c) {
        const SumValueColumn* values = state.ValuesOf(state.sources[c]);
        if (values == nullptr) continue;
        std::uint8_t decimals = values->all_decimals;
        std::uint8_t marks = values->all_marks;
        std::int64_t not_numbers = values->all_not_numbers;
        if (!whole_table) {
            decimals = 0;
            marks = 0;
            not_numbers = 0;
            ForEachDataRow(model, [&](int, std::uint32_t key) {
                const std::uint8_t info = values->InfoAt(key);
                if (info == SumValueInfo::NotNumber) ++not_numbers;
                if (info & SumValueInfo::Marker) return;
                decimals = std::max<std::uint8_t>(decimals, info & SumValueInfo::DecimalsMask);
                marks |= info;
            });
        }
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
    // Alphabetical keys compare by their collation keys: each row's is made once, not twice.
    const bool alphabetical = type == KeyType::Alphabetical;
    std::string collation[2];
    int current = 0;
    // Without memory for a byte a row there are no groups.
    try {
        ends.reserve(static_cast<std::size_t>(model.LineCount()));
        ForEachDataRow(model, [&](int position, std::uint32_t key) {
            char* text = texts[current];
            const int length =
                std::clamp(cells.Fetch(static_cast<int>(key), source, text, kCellTextLimit), 0, kCellTextLimit);
            text[length] = '\0';
            bool differs = false;
            if (alphabetical) {
                collation[current].clear();
                AppendAlphabeticalKey(text, static_cast<std::size_t>(length), collation[current]);
                differs = position > 0 && collation[current] != collation[1 - current];
            } else {
                differs = position > 0 && CompareKeys(texts[1 - current], text, type, false, year) != 0;
            }
            if (differs) ends.back() = 1;
            ends.push_back(0);
            current = 1 - current;
        });
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!ends.empty()) ends.back() = 1;
    return ends;
}

PageSums::PageSums(const GridModel& model) {
    const SumState& state = model.Sums();
    columns_.resize(state.sources.size());
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (const SumValueColumn* values = state.ValuesOf(state.sources[c])) {
            columns_[c] = {values->units.data(), values->info.data(), static_cast<std::uint32_t>(values->info.size())};
        }
    }
    open_.assign(columns_.size(), {});
}

void PageSums::ClosePage() {
    static constexpr std::int64_t kScale[] = {1000000, 100000, 10000, 1000, 100, 10, 1, 1};
    // Without memory the sums stay short; ComputeSumLines then keeps none.
    try {
        for (auto& totals : open_) {
            SumUnits sum = 0;
            for (std::size_t d = 0; d < totals.size(); ++d) sum += totals[d] * kScale[d];
            closed_.push_back(sum);
            totals.fill(0);
        }
    } catch (const std::bad_alloc&) {
        for (auto& totals : open_) totals.fill(0);
    }
}

bool ComputeSumLines(GridModel& model, const std::vector<SumPage>& pages, const std::vector<SumUnits>& page_sums,
                     const std::vector<std::uint8_t>& group_ends, const SumLinePlan& plan, std::size_t count) {
    SumState& state = model.Sums();
    const std::size_t width = state.sources.size();
    if (page_sums.size() != pages.size() * width) {
        state.sums = {};
        state.label_rows = {};
        return false;
    }
    try {
        state.sums.assign(count * width, 0);
        state.label_rows.assign(count, 0);
    } catch (const std::bad_alloc&) {
        state.sums = {};
        state.label_rows = {};
        return false;
    }
    std::vector<ValueView> values(width);
    for (std::size_t c = 0; c < width; ++c) {
        if (const SumValueColumn* column = state.ValuesOf(state.sources[c])) {
            values[c] = {column->units.data(), column->info.data(), static_cast<std::uint32_t>(column->info.size())};
        }
    }
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

    // The pages cover the data rows in order, and during pagination the list is those rows.
    // Rows add to their page; a page adds to the running sum; groups add row by row.
    const int rows = model.LineCount();
    auto row_key = [&model](int index) { return std::uint32_t{model.Line(index).key}; };
    std::uint32_t group_label = 0;
    bool group_open = false;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const bool ends_table = p + 1 == pages.size();
        if (plan.brought_forward && p > 0) emit(running, 0);
        const int last = std::min(pages[p].last, rows - 1);
        for (std::size_t c = 0; c < width; ++c) {
            page[c] = page_sums[p * width + c];
            running[c] += page[c];
        }
        if (plan.group_totals) {
            for (int index = pages[p].first; index <= last; ++index) {
                const std::uint32_t row = row_key(index);
                if (!group_open) group_label = row, group_open = true;
                for (std::size_t c = 0; c < width; ++c) {
                    SumUnits value = 0;
                    if (values[c].ValueAt(row, value)) group[c] += value;
                }
                if (static_cast<std::size_t>(index) < group_ends.size() && group_ends[static_cast<std::size_t>(index)]) {
                    emit(group, group_label);
                    std::fill(group.begin(), group.end(), 0);
                    group_open = false;
                }
            }
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
