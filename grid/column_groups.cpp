// Division of the visible columns into the column groups that print side by side on sheets.
#include "grid/column_groups.h"

#include <cstdint>

int PrintableWidthOnPaper(const GridModel& grid) {
    const PrintSettings& page = grid.Metrics(GridDevice::Print).page;
    return page.paper_width - page.left_margin - page.right_margin;
}

std::vector<ColumnGroup> DivideIntoColumnGroups(const GridModel& grid) {
    std::vector<ColumnGroup> groups;
    const std::int64_t limit = PrintableWidthOnPaper(grid);
    const std::int64_t rule = grid.Metrics(GridDevice::Print).rule_width;
    int first = -1;
    std::int64_t width = rule;
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const GridColumn* column = grid.Column(i);
        if (column == nullptr || !(column->flags & ColumnFlags::Visible)) continue;
        const std::int64_t added = static_cast<std::int64_t>(column->print_width) + rule;
        if (first >= 0 && width + added > limit) {
            groups.push_back(ColumnGroup{first, i, static_cast<int>(width)});
            first = -1;
            width = rule;
        }
        if (first < 0) first = i;
        width += added;
    }
    if (first >= 0) groups.push_back(ColumnGroup{first, grid.ColumnCount(), static_cast<int>(width)});
    return groups;
}

bool FindColumnGroup(const GridModel& grid, int group_index, ColumnGroup& group) {
    const std::vector<ColumnGroup> groups = DivideIntoColumnGroups(grid);
    if (group_index < 0 || group_index >= static_cast<int>(groups.size())) return false;
    group = groups[static_cast<std::size_t>(group_index)];
    return true;
}
