// The pieces of a boxed character table's lines (see box_line.h).
#include "grid/box_line.h"

#include <cstring>

#include "render/control_bytes.h"
#include "render/text_layout.h"

std::vector<CharColumn> CharColumns(const GridModel& grid) {
    std::vector<CharColumn> columns;
    CollectCharColumns(grid, columns);
    return columns;
}

void CollectCharColumns(const GridModel& grid, std::vector<CharColumn>& columns) {
    columns.clear();
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const GridColumn* column = grid.Column(i);
        if (column == nullptr || !(column->flags & ColumnFlags::Visible)) continue;
        columns.push_back({i, std::max(0, column->character_width_used), column->alignment});
    }
}

void FillBoxLine(const std::vector<CharColumn>& columns, char* line, int width, int indent, char fill, char border,
                 const BorderMask* drawn) {
    std::memset(line, ' ', static_cast<std::size_t>(indent));
    std::memset(line + indent, fill, static_cast<std::size_t>(width));
    line[indent + width] = '\r';
    line[indent + width + 1] = '\n';
    if (width > 0) {
        std::int64_t position = 0;  // within the table, 0 .. width - 1
        line[indent] = border;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            position += columns[i].width + 3;
            if (position >= width) break;
            if (drawn == nullptr || (i < drawn->size() && (*drawn)[i])) line[indent + position] = border;
        }
    }
}

int AppendLineBytes(ItemList& out, const char* bytes, std::int64_t count) {
    if (count > INT32_MAX - out.Size()) return -1;
    const int start = out.Size();
    if (!out.Append(bytes, static_cast<std::int32_t>(count))) return -1;
    return start;
}

int AppendBoxLine(const std::vector<CharColumn>& columns, ItemList& out, int width, int indent, char fill,
                  char border, const BorderMask* drawn) {
    indent = UsedIndent(indent);
    width = std::max(width, 0);
    const std::int64_t length = static_cast<std::int64_t>(indent) + width + 2;
    const int start = AppendLineBytes(out, nullptr, length);
    if (start < 0) return -1;
    FillBoxLine(columns, reinterpret_cast<char*>(out.Data()) + start, width, indent, fill, border, drawn);
    return start;
}

void PlaceInLine(ItemList& out, int line_offset, int indent, int width, std::int64_t border, int pad,
                 const char* text, int count) {
    const std::int64_t first = border + 1 + pad;  // within the table
    const std::int64_t end = std::min<std::int64_t>(first + count, width);
    if (first >= end) return;
    char* line = reinterpret_cast<char*>(out.Data()) + line_offset + UsedIndent(indent);
    std::memcpy(line + first, text, static_cast<std::size_t>(end - first));
    BlankControlBytes(line + first, static_cast<std::size_t>(end - first));
}

int PadFor(int alignment, int length, int width) {
    if (length >= width) return 1;
    if (alignment == kAlignRight) return width - length + 1;
    if (alignment == kAlignCenter) return (width - length) / 2 + 1;
    return 1;
}
