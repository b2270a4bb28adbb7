// Sum lines as boxed character text: a data row whose label cells run together.
#include "grid/sum_line_render.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "grid/sum_lines.h"
#include "render/control_bytes.h"
#include "render/text_layout.h"

namespace {

std::vector<int> VisibleColumns(const GridModel& grid) {
    std::vector<int> columns;
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        if (grid.IsColumnVisible(i)) columns.push_back(i);
    }
    return columns;
}

int CharWidth(const GridModel& grid, int column) { return std::max(0, grid.Column(column)->character_width_used); }

// One text line of the table: `indent` blanks, `width` fills, CR LF; `border` at the table's
// left edge and after every column whose border is drawn (`drawn`). Returns its offset or -1.
int AppendLine(const GridModel& grid, const std::vector<int>& columns, const std::vector<bool>& drawn, ItemList& out,
               int width, int indent, char fill, char border) {
    width = std::max(width, 0);
    const std::int64_t length = static_cast<std::int64_t>(indent) + width + 2;
    if (length > INT32_MAX - out.Size()) return -1;
    const int start = out.Size();
    if (!out.Append(nullptr, static_cast<std::int32_t>(length))) return -1;
    char* line = reinterpret_cast<char*>(out.Data()) + start;
    std::memset(line, ' ', static_cast<std::size_t>(indent));
    std::memset(line + indent, fill, static_cast<std::size_t>(width));
    line[indent + width] = '\r';
    line[indent + width + 1] = '\n';
    if (width == 0) return start;
    line[indent] = border;
    std::int64_t position = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        position += CharWidth(grid, columns[i]) + 3;
        if (position >= width) break;
        if (drawn[i]) line[indent + position] = border;
    }
    return start;
}

// Copies `text` into the line at `offset` from table position `first`, never past `limit`
// (exclusive) nor the table's width, its control bytes blanked.
void Place(ItemList& out, int offset, int indent, std::int64_t first, std::int64_t limit, int width, const char* text,
           int length) {
    const std::int64_t end = std::min<std::int64_t>({first + length, limit, width});
    if (first >= end) return;
    char* line = reinterpret_cast<char*>(out.Data()) + offset + indent;
    std::memcpy(line + first, text, static_cast<std::size_t>(end - first));
    BlankControlBytes(line + first, static_cast<std::size_t>(end - first));
}

}  // namespace

void WidenCharWidthsToSums(GridModel& grid) {
    if (!HasSummedColumns(grid)) return;
    const std::vector<int> columns = VisibleColumns(grid);
    std::vector<int> longest(columns.size(), 0);
    char text[kCellTextLimit + 1];
    for (int l = 0; l < grid.LineCount(); ++l) {
        const LayoutLine line = grid.Line(l);
        if (!IsSumLine(line.kind) || line.kind == LineKind::SumNote) continue;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            longest[i] = std::max(longest[i], SumLineCellText(grid, line, columns[i], text));
        }
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        GridColumn* column = grid.MutableColumn(columns[i]);
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
    const std::vector<int> columns = VisibleColumns(grid);
    const LabelSpan span = FindLabelSpan(grid, columns.data(), static_cast<int>(columns.size()));
    const std::vector<bool> rule_drawn(columns.size(), true);
    // Inside the label span only its last border stands.
    std::vector<bool> drawn = rule_drawn;
    for (int i = span.first; i + 1 < span.end; ++i) drawn[static_cast<std::size_t>(i)] = false;

    if ((line.flags & LineFlags::RuleAbove) && AppendLine(grid, columns, rule_drawn, out, width, indent, '-', '+') < 0) {
        return false;
    }
    const int row = AppendLine(grid, columns, drawn, out, width, indent, ' ', '|');
    if (row < 0) return false;
    std::int64_t border = 0;
    std::int64_t span_start = 0;
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const int column_width = CharWidth(grid, columns[static_cast<std::size_t>(i)]);
        if (i == span.first) span_start = border;
        const int length = SumLineCellText(grid, line, columns[static_cast<std::size_t>(i)], text);
        if (length > 0) {
            const GridColumn& column = *grid.Column(columns[static_cast<std::size_t>(i)]);
            int pad = 1;
            if (length < column_width && column.alignment == kAlignRight) pad = column_width - length + 1;
            if (length < column_width && column.alignment == kAlignCenter) pad = (column_width - length) / 2 + 1;
            Place(out, row, indent, border + 1 + pad, border + 1 + column_width + 1, width, text, length);
        }
        border += column_width + 3;
        if (i + 1 == span.end && span.first < span.end) {
            // The label, one blank in from each side of the span.
            const int label = SumLineLabel(grid, line, text);
            Place(out, row, indent, span_start + 2, border - 1, width, text, label);
        }
    }
    if ((line.flags & LineFlags::RuleBelow) && AppendLine(grid, columns, rule_drawn, out, width, indent, '-', '+') < 0) {
        return false;
    }
    return true;
}
