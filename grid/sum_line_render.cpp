// Sum lines as boxed character text: a data row whose label cells run together.
#include "grid/sum_line_render.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "grid/box_line.h"
#include "grid/sum_lines.h"
#include "render/text_layout.h"

void WidenCharWidthsToSums(GridModel& grid) {
    if (!HasSummedColumns(grid)) return;
    const std::vector<CharColumn> columns = CharColumns(grid);
    std::vector<int> longest(columns.size(), 0);
    char text[kCellTextLimit + 1];
    for (int l = 0; l < grid.LineCount(); ++l) {
        const LayoutLine line = grid.Line(l);
        if (!IsSumLine(line.kind) || line.kind == LineKind::SumNote) continue;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            longest[i] = std::max(longest[i], SumLineCellText(grid, line, columns[i].index, text));
        }
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        GridColumn* column = grid.MutableColumn(columns[i].index);
        column->character_width_used = std::max(column->character_width_used, longest[i]);
    }
}

bool RenderSumLine(const GridModel& grid, const LayoutLine& line, ItemList& out, int width, int indent) {
    char text[kCellTextLimit + 1];
    if (line.kind == LineKind::SumNote) {
        const int length = SumLineLabel(grid, line, text);
        if (length == 0 || width <= 0) return out.Append("\r\n", 2);
        const int start = out.Size();
        if (!out.Append(nullptr, indent + 2) || !out.Append(text, length) || !out.Append("\r\n", 2)) return false;
        std::memset(out.Data() + start, ' ', static_cast<std::size_t>(indent) + 2);
        return true;
    }
    const std::vector<CharColumn> columns = CharColumns(grid);
    std::vector<int> indices(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) indices[i] = columns[i].index;
    const LabelSpan span = FindLabelSpan(grid, indices.data(), static_cast<int>(indices.size()));
    // Inside the label span only its last border stands.
    BorderMask drawn(columns.size(), true);
    for (int i = span.first; i + 1 < span.end; ++i) drawn[static_cast<std::size_t>(i)] = false;

    if ((line.flags & LineFlags::RuleAbove) && AppendBoxLine(columns, out, width, indent, '-', '+') < 0) {
        return false;
    }
    const int row = AppendBoxLine(columns, out, width, indent, ' ', '|', &drawn);
    if (row < 0) return false;
    std::int64_t border = 0;
    std::int64_t span_start = 0;
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const CharColumn& column = columns[static_cast<std::size_t>(i)];
        if (i == span.first) span_start = border;
        const int length = SumLineCellText(grid, line, column.index, text);
        PlaceInLine(out, row, indent, width, border, PadFor(column.alignment, length, column.width), text,
                    std::min(length, column.width));
        border += column.width + 3;
        if (i + 1 == span.end && span.first < span.end) {
            // The label, one blank in from each side of the span.
            const int label = SumLineLabel(grid, line, text);
            PlaceInLine(out, row, indent, width, span_start, 1, text,
                        static_cast<int>(std::clamp<std::int64_t>(border - span_start - 3, 0, label)));
        }
    }
    return !(line.flags & LineFlags::RuleBelow) || AppendBoxLine(columns, out, width, indent, '-', '+') >= 0;
}
