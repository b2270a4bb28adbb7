// Natural widths of summed columns: wide enough for the end total and the group totals, in the
// bold they are drawn in, on both devices. Page sums may still be cut.
#include <algorithm>
#include <vector>

#include "grid/grid_model.h"
#include "grid/sum_layout.h"
#include "grid/sum_lines.h"
#include "grid/sum_widths.h"

namespace {

SumUnits Magnitude(SumUnits value) { return value < 0 ? -value : value; }

}  // namespace

void GridModel::WidenNaturalWidthsToSums() {
    if (!HasSummedColumns(*this)) return;
    const SumLinePlan plan = PrepareSumLines(*this);
    const std::vector<std::uint8_t> group_ends = plan.group_totals ? FindGroupEnds(*this) : std::vector<std::uint8_t>();
    const std::size_t width = sums_.sources.size();
    std::vector<const SumValueColumn*> values(width);
    for (std::size_t c = 0; c < width; ++c) values[c] = sums_.ValuesOf(sums_.sources[c]);
    // The view's totals, and the group total furthest from zero (the longest text).
    std::vector<SumUnits> totals(width, 0);
    std::vector<SumUnits> group(width, 0);
    std::vector<SumUnits> widest_group(width, 0);
    std::size_t position = 0;
    for (int i = 0; i < LineCount(); ++i) {
        const LayoutLine row = Line(i);
        if (row.kind != LineKind::DataRow) continue;
        for (std::size_t c = 0; c < width; ++c) {
            SumUnits value = 0;
            if (values[c] == nullptr || !values[c]->ValueAt(row.key, value)) continue;
            totals[c] += value;
            group[c] += value;
        }
        if (position < group_ends.size() && group_ends[position]) {
            for (std::size_t c = 0; c < width; ++c) {
                if (Magnitude(group[c]) > Magnitude(widest_group[c])) widest_group[c] = group[c];
                group[c] = 0;
            }
        }
        ++position;
    }

    MeasuringDevice& screen = Device(GridDevice::Screen);
    MeasuringDevice& print = Device(GridDevice::Print);
    FontRun screen_run(screen, font_);
    FontRun print_run(print, font_);
    screen.SelectBold(true);
    print.SelectBold(true);
    GridColumn* columns = Columns();
    for (int i = 0; i < ColumnCount(); ++i) {
        GridColumn& column = columns[i];
        if (!(column.flags & ColumnFlags::Sum) || !(column.flags & ColumnFlags::Visible)) continue;
        const auto found = std::find(sums_.sources.begin(), sums_.sources.end(), column.source);
        if (found == sums_.sources.end()) continue;
        const std::size_t c = static_cast<std::size_t>(found - sums_.sources.begin());
        for (const SumUnits sum : {totals[c], widest_group[c]}) {
            char text[64];
            const int length = FormatSum(sum, sums_.formats[c], text);
            column.natural_width = std::max(column.natural_width, SumCellWidth(*this, GridDevice::Screen, text, length));
            column.print_natural_width =
                std::max(column.print_natural_width, SumCellWidth(*this, GridDevice::Print, text, length));
        }
    }
    screen.SelectBold(false);
    print.SelectBold(false);
}
