// Division of the visible columns into the column groups that print side by side on sheets.
#include "grid/column_groups.h"

#include <algorithm>

namespace {

std::int64_t RawPrintableWidth(const GridModel& grid) {
    const PrintSettings& page = grid.Metrics(GridDevice::Print).page;
    return static_cast<std::int64_t>(page.paper_width) - page.left_margin - page.right_margin;
}

}  // namespace

int PrintScale(const GridModel& grid) {
    if (grid.GetPrintOptions().fit_to_width == 0) return kFullPrintScale;
    if (grid.Metrics(GridDevice::Print).page.printer_kind == kDotMatrixPrinter) return kFullPrintScale;
    const std::int64_t rule = grid.Metrics(GridDevice::Print).rule_width;
    std::int64_t width = rule;
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const GridColumn* column = grid.Column(i);
        if (column != nullptr && (column->flags & ColumnFlags::Visible)) width += column->print_width + rule;
    }
    const std::int64_t limit = RawPrintableWidth(grid);
    if (width <= limit || limit <= 0) return kFullPrintScale;
    const std::int64_t scale = limit * kFullPrintScale / width;
    return scale < kSmallestPrintScale ? kFullPrintScale : static_cast<int>(scale);
}

int UnscaledLength(std::int64_t length, int scale) {
    if (scale <= 0 || scale >= kFullPrintScale) return static_cast<int>(std::clamp<std::int64_t>(length, INT32_MIN, INT32_MAX));
    return static_cast<int>(std::clamp<std::int64_t>(length * kFullPrintScale / scale, INT32_MIN, INT32_MAX));
}

int PrintableWidthOnPaper(const GridModel& grid) {
    return UnscaledLength(RawPrintableWidth(grid), PrintScale(grid));
}

KeyColumns FindKeyColumns(const GridModel& grid) {
    KeyColumns keys;
    const int asked = grid.GetPrintOptions().key_columns;
    if (asked <= 0) return keys;
    std::vector<int> visible;
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        if (grid.IsColumnVisible(i)) visible.push_back(i);
    }
    const int count = std::min<int>(asked, static_cast<int>(visible.size()) - 1);
    if (count <= 0) return keys;
    keys.wanted = count;
    const std::int64_t limit = PrintableWidthOnPaper(grid);
    const std::int64_t rule = grid.Metrics(GridDevice::Print).rule_width;
    auto width_of = [&](int k) { return static_cast<std::int64_t>(grid.Column(visible[static_cast<std::size_t>(k)])->print_width) + rule; };
    // widest_after[k]: the widest column from the k-th visible one on that fits a sheet alone.
    std::vector<std::int64_t> widest_after(visible.size() + 1, 0);
    for (std::size_t k = visible.size(); k-- > 0;) {
        const std::int64_t width = width_of(static_cast<int>(k));
        widest_after[k] = std::max(widest_after[k + 1], rule + width <= limit ? width : 0);
    }
    std::vector<std::int64_t> key_width(static_cast<std::size_t>(count) + 1, 0);
    for (int k = 0; k < count; ++k) key_width[static_cast<std::size_t>(k) + 1] = key_width[static_cast<std::size_t>(k)] + width_of(k);
    // Fewer keys until they leave room for every column that fits a sheet by itself.
    int kept = count;
    while (kept > 0) {
        const std::int64_t widest = widest_after[static_cast<std::size_t>(kept)];
        if (widest > 0 && rule + key_width[static_cast<std::size_t>(kept)] + widest <= limit) break;
        --kept;
    }
    if (kept == 0) return keys;
    keys.count = kept;
    keys.end_column = visible[static_cast<std::size_t>(kept) - 1] + 1;
    keys.width = key_width[static_cast<std::size_t>(kept)];
    return keys;
}

std::vector<ColumnGroup> DivideIntoColumnGroups(const GridModel& grid) {
    std::vector<ColumnGroup> groups;
    const std::int64_t limit = PrintableWidthOnPaper(grid);
    const std::int64_t rule = grid.Metrics(GridDevice::Print).rule_width;
    const KeyColumns keys = FindKeyColumns(grid);
    int first = -1;
    std::int64_t width = rule;
    int key_end = 0;
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const GridColumn* column = grid.Column(i);
        if (column == nullptr || !(column->flags & ColumnFlags::Visible)) continue;
        const std::int64_t added = static_cast<std::int64_t>(column->print_width) + rule;
        if (first >= 0 && i >= keys.end_column && width + added > limit) {
            groups.push_back(ColumnGroup{first, i, static_cast<int>(std::min<std::int64_t>(width, INT32_MAX)), key_end});
            first = -1;
            key_end = keys.end_column;
            width = rule + keys.width;
        }
        if (first < 0) first = i;
        width += added;
    }
    if (first >= 0) {
        groups.push_back(ColumnGroup{first, grid.ColumnCount(), static_cast<int>(std::min<std::int64_t>(width, INT32_MAX)), key_end});
    }
    return groups;
}

bool FindColumnGroup(const GridModel& grid, int group_index, ColumnGroup& group) {
    const std::vector<ColumnGroup> groups = DivideIntoColumnGroups(grid);
    if (group_index < 0 || group_index >= static_cast<int>(groups.size())) return false;
    group = groups[static_cast<std::size_t>(group_index)];
    return true;
}
