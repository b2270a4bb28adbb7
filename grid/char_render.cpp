// Boxed character text from the grid's layout lines: rules, cells, titles, numbers, header and
// footer, page numbers.
#include "grid/char_render.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "grid/box_line.h"
#include "grid/page_number_text.h"
#include "grid/sum_line_render.h"
#include "render/control_bytes.h"
#include "render/text_layout.h"

namespace {

constexpr char kLineEnd[] = "\r\n";

bool AppendLineEnd(ItemList& out) { return out.Append(kLineEnd, 2); }

// Appends text with its control bytes blanked (see PlaceInLine).
bool AppendPlainText(ItemList& out, std::string_view text) {
    const int start = out.Size();
    if (!out.Append(text.data(), static_cast<std::int32_t>(text.size()))) return false;
    BlankControlBytes(reinterpret_cast<char*>(out.Data()) + start, text.size());
    return true;
}

bool AppendSpaces(ItemList& out, std::int64_t count) {
    if (count <= 0) return true;
    if (count > INT32_MAX - out.Size()) return false;
    const int start = out.Size();
    if (!out.Append(nullptr, static_cast<std::int32_t>(count))) return false;
    std::memset(out.Data() + start, ' ', static_cast<std::size_t>(count));
    return true;
}

// The next piece of a title for one text line of a column `width` characters wide: from
// `position` (at a word), the longest run of whole words that fits, or a single word when even
// that does not fit. `position` moves past the piece and the blanks after it.
std::string_view NextTitlePiece(std::string_view title, std::size_t& position, int width) {
    std::size_t end = title.size();
    while (end > position && IsBlank(static_cast<unsigned char>(title[end - 1]))) --end;
    while (end - position > static_cast<std::size_t>(width)) {
        std::size_t word_start = end;
        while (word_start > position && !IsBlank(static_cast<unsigned char>(title[word_start - 1]))) {
            --word_start;
        }
        if (word_start == position) break;  // one word longer than the column
        end = word_start;
        while (end > position && IsBlank(static_cast<unsigned char>(title[end - 1]))) --end;
    }
    const std::string_view piece = title.substr(position, end - position);
    position = end;
    while (position < title.size() && IsBlank(static_cast<unsigned char>(title[position]))) ++position;
    return piece;
}

}  // namespace

namespace {

// Tables from this many layout lines have their widths read on two threads.
constexpr int kLinesForTwoThreads = 200000;

// The longest cell text of each of the `visible` columns over the DataRow lines [first, end),
// into widest[v] (0 when none). A text's character width is its length: the store's columns
// are read a block of rows at a time for their lengths alone (`by_column`), the row numbers and
// layouts with sum lines cell by cell. Touches nothing but `widest`: it may run on a thread of
// its own. False when memory ran out.
bool WidestCellTexts(const GridModel& grid, const std::vector<int>& visible, bool by_column, int first, int end,
                     std::vector<int>& widest) {
    try {
        widest.assign(visible.size(), 0);
        const CellTextSource source = grid.GetCellTextSource();
        char text[kCellTextLimit + 1];
        constexpr int kBlockRows = 1024;
        std::vector<std::uint32_t> keys;
        std::vector<int> block_lines;
        std::uint8_t lengths[kBlockRows];
        keys.reserve(kBlockRows);
        block_lines.reserve(kBlockRows);
        for (int next = first; next < end;) {
            keys.clear();
            block_lines.clear();
            for (; next < end && static_cast<int>(keys.size()) < kBlockRows; ++next) {
                const LayoutLine line = grid.Line(next);
                if (line.kind != LineKind::DataRow) continue;
                keys.push_back(line.key);
                block_lines.push_back(next);
            }
            for (std::size_t v = 0; v < visible.size(); ++v) {
                const int i = visible[v];
                int block_widest = 0;
                if (by_column && grid.Column(i)->source != kRowNumberSource) {
                    source.FetchColumn(grid.Column(i)->source, keys.data(), static_cast<int>(keys.size()), nullptr,
                                       lengths);
                    for (std::size_t k = 0; k < keys.size(); ++k) block_widest = std::max<int>(block_widest, lengths[k]);
                } else {
                    for (int l : block_lines) block_widest = std::max(block_widest, grid.CellText(grid.Line(l), i, text));
                }
                widest[v] = std::max(widest[v], block_widest);
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

void ComputeCharWidths(GridModel& grid) {
    const int count = grid.ColumnCount();
    for (int i = 0; i < count; ++i) {
        GridColumn* column = grid.MutableColumn(i);
        column->character_width = 0;
        column->character_width_used = 0;
        if (column->flags & ColumnFlags::Visible) {
            const std::string_view title = grid.ColumnTitleText(i);
            column->character_width = static_cast<std::int32_t>(LongestWordLength(title.data(), title.size()));
        }
    }
    std::vector<int> visible;
    for (int i = 0; i < count; ++i) {
        if (grid.IsColumnVisible(i)) visible.push_back(i);
    }
    bool by_column = grid.GetCellTextSource().Present();
    for (int i : visible) by_column = by_column && !(grid.Column(i)->flags & ColumnFlags::Sum);
    // A big table's rows are split between this thread and another when the source reads whole
    // columns, which it may do on two threads at once; the table does not change meanwhile.
    const int lines = grid.LineCount();
    const GridModel& table = grid;
    int split = lines;
    std::vector<int> widest;
    std::vector<int> second_widest;
    bool second_whole = false;
    std::thread helper;
    if (by_column && grid.GetCellTextSource().column_function != nullptr && lines >= kLinesForTwoThreads) {
        try {
            helper = std::thread([&] {
                second_whole = WidestCellTexts(table, visible, by_column, lines / 2, lines, second_widest);
            });
            split = lines / 2;
        } catch (const std::system_error&) {
            // One thread reads them all.
        }
    }
    const bool first_whole = WidestCellTexts(table, visible, by_column, 0, split, widest);
    if (helper.joinable()) helper.join();
    if (split < lines && !second_whole) {
        second_whole = WidestCellTexts(table, visible, by_column, split, lines, second_widest);
    }
    for (std::size_t v = 0; v < visible.size(); ++v) {
        GridColumn* column = grid.MutableColumn(visible[v]);
        int cells = first_whole ? widest[v] : 0;
        if (split < lines && second_whole) cells = std::max(cells, second_widest[v]);
        if (cells > column->character_width) column->character_width = cells;
    }
    for (int i = 0; i < count; ++i) {
        GridColumn* column = grid.MutableColumn(i);
        column->character_width_used = column->character_width;
    }
}

int TextPageWidth(const GridModel& grid) {
    std::int64_t width = 1;  // widths that were never computed may be anything
    for (const CharColumn& column : CharColumns(grid)) width += static_cast<std::int64_t>(column.width) + 3;
    return static_cast<int>(std::min<std::int64_t>(width, INT32_MAX));
}

bool AppendRuleLine(const GridModel& grid, ItemList& out, int width, int indent) {
    return AppendBoxLine(CharColumns(grid), out, width, indent, '-', '+') >= 0;
}

bool AppendEmptyCellLine(const GridModel& grid, ItemList& out, int width, int indent) {
    return AppendBoxLine(CharColumns(grid), out, width, indent, ' ', '|') >= 0;
}

const std::vector<CharColumn>& BoxLineCache::Columns(const GridModel& grid) {
    CollectCharColumns(grid, columns_);
    return columns_;
}

int BoxLineCache::Append(const std::vector<CharColumn>& columns, ItemList& out, int width, int indent, bool rule) {
    indent = UsedIndent(indent);
    width = std::max(width, 0);
    const std::size_t length = static_cast<std::size_t>(indent) + static_cast<std::size_t>(width) + 2;
    constexpr std::size_t kLongestCachedLine = 1 << 16;
    if (length > kLongestCachedLine) {
        return AppendBoxLine(columns, out, width, indent, rule ? '-' : ' ', rule ? '+' : '|');
    }
    if (width != width_ || indent != indent_ || !SameWidths(columns)) {
        width_ = -1;  // until the lines below are whole
        try {
            widths_.clear();
            for (const CharColumn& column : columns) widths_.push_back(column.width);
            rule_.resize(length);
            empty_.resize(length);
        } catch (const std::bad_alloc&) {
            return AppendBoxLine(columns, out, width, indent, rule ? '-' : ' ', rule ? '+' : '|');
        }
        FillBoxLine(columns, rule_.data(), width, indent, '-', '+');
        FillBoxLine(columns, empty_.data(), width, indent, ' ', '|');
        width_ = width;
        indent_ = indent;
    }
    const std::vector<char>& line = rule ? rule_ : empty_;
    return AppendLineBytes(out, line.data(), static_cast<std::int64_t>(line.size()));
}

bool BoxLineCache::SameWidths(const std::vector<CharColumn>& columns) const {
    if (columns.size() != widths_.size()) return false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].width != widths_[i]) return false;
    }
    return true;
}

bool RenderDataRow(const GridModel& grid, const LayoutLine& line, ItemList& out, int width, int indent,
                   BoxLineCache* kept) {
    BoxLineCache own;  // a row rendered alone makes its lines in a cache of its own
    BoxLineCache& box = kept != nullptr ? *kept : own;
    const std::vector<CharColumn>& columns = box.Columns(grid);
    if ((line.flags & LineFlags::RuleAbove) && box.Append(columns, out, width, indent, true) < 0) return false;
    const int row = box.Append(columns, out, width, indent, false);
    if (row < 0) return false;
    char text[kCellTextLimit + 1];
    std::int64_t border = 0;
    for (const CharColumn& column : columns) {
        const int length = grid.CellText(line, column.index, text);
        const int shown = std::min(length, column.width);
        PlaceInLine(out, row, indent, width, border, PadFor(column.alignment, length, column.width), text, shown);
        border += column.width + 3;
    }
    return !(line.flags & LineFlags::RuleBelow) || box.Append(columns, out, width, indent, true) >= 0;
}

bool RenderTitles(const GridModel& grid, const LayoutLine& line, ItemList& out, int width, int indent) {
    const std::vector<CharColumn> columns = CharColumns(grid);
    if (AppendBoxLine(columns, out, width, indent, '-', '+') < 0) return false;
    const int first_text_line = out.Size();
    const int line_size = UsedIndent(indent) + std::max(width, 0) + 2;  // fits: the rule line did
    for (int n = 0; n < line.height; ++n) {
        if (AppendBoxLine(columns, out, width, indent, ' ', '|') < 0) return false;
    }
    std::int64_t border = 0;
    for (const CharColumn& column : columns) {
        const std::string_view title = grid.ColumnTitleText(column.index);
        std::size_t position = 0;
        while (position < title.size() && IsBlank(static_cast<unsigned char>(title[position]))) ++position;
        for (int n = 0; n < line.height && position < title.size(); ++n) {
            const std::string_view piece = NextTitlePiece(title, position, column.width);
            const int length = static_cast<int>(piece.size());
            const int pad = length < column.width ? (column.width - length) / 2 + 1 : 1;
            PlaceInLine(out, first_text_line + n * line_size, indent, width, border, pad, piece.data(),
                        std::min(length, column.width));
        }
        border += column.width + 3;
    }
    return AppendBoxLine(columns, out, width, indent, '-', '+') >= 0;
}

bool RenderColumnNumbers(const GridModel& grid, const LayoutLine& line, ItemList& out, int width,
                         int indent) {
    const std::vector<CharColumn> columns = CharColumns(grid);
    if ((line.flags & LineFlags::RuleAbove) && AppendBoxLine(columns, out, width, indent, '-', '+') < 0) {
        return false;
    }
    const int row = AppendBoxLine(columns, out, width, indent, ' ', '|');
    if (row < 0) return false;
    std::int64_t border = 0;
    int number = 0;
    for (const CharColumn& column : columns) {
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%d", ++number);
        const int pad = length < column.width ? (column.width - length) / 2 + 1 : 1;
        PlaceInLine(out, row, indent, width, border, pad, text, std::min(length, column.width));
        border += column.width + 3;
    }
    return AppendBoxLine(columns, out, width, indent, '-', '+') >= 0;
}

bool RenderHeaderText(const char* text, std::size_t length, ItemList& out, int width, int indent) {
    if (text == nullptr || length == 0 || width <= 0) return true;
    indent = UsedIndent(indent);
    const std::int64_t line_length = static_cast<std::int64_t>(indent) + width - 2;  // where the right part ends
    bool complete = true;
    std::size_t position = 0;
    for (;;) {
        std::size_t end = position;
        while (end < length && text[end] != '\r') ++end;
        const std::string_view part(text + position, end - position);
        bool ok = true;
        if (!part.empty()) {
            const std::size_t tab = part.find('\t');
            const std::string_view left = part.substr(0, tab);
            ok = AppendSpaces(out, indent + 2) && AppendPlainText(out, left);
            if (ok && tab != std::string_view::npos) {
                const std::string_view right = part.substr(tab + 1);
                const std::int64_t used = static_cast<std::int64_t>(indent) + 2 + static_cast<std::int64_t>(left.size());
                const std::int64_t gap =
                    std::max<std::int64_t>(1, line_length - used - static_cast<std::int64_t>(right.size()));
                ok = AppendSpaces(out, gap) && AppendPlainText(out, right);
            }
        }
        if (!ok) complete = false;
        if (!AppendLineEnd(out)) return false;
        if (end >= length) break;
        position = end + 1;                                    // past the CR
        if (position < length && text[position] == '\n') ++position;  // its LF belongs to it
    }
    return complete;
}

bool RenderPageNumber(int page, int position, ItemList& out, int width, int style, int pages) {
    char text[48];
    const int length = FormatPageNumberText(static_cast<std::uint8_t>(position), static_cast<std::uint8_t>(style),
                                            page, pages, text);
    std::int64_t spaces = 0;
    switch (position) {
        case PageNumberPosition::TopLeft:
        case PageNumberPosition::BottomLeft:
            spaces = 2;
            break;
        case PageNumberPosition::TopCenter:
        case PageNumberPosition::BottomCenter:
            spaces = (static_cast<std::int64_t>(width) - length) / 2;
            break;
        default:
            spaces = static_cast<std::int64_t>(width) - length - 2;
            break;
    }
    return AppendSpaces(out, spaces) && out.Append(text, length) && AppendLineEnd(out);
}

bool RenderLayoutLine(const GridModel& grid, const LayoutLine& line, ItemList& out, int width,
                      int indent, BoxLineCache* kept) {
    switch (line.kind) {
        case LineKind::DataRow:
            return RenderDataRow(grid, line, out, width, indent, kept);
        case LineKind::Titles:
            return RenderTitles(grid, line, out, width, indent);
        case LineKind::ColumnNumbers:
            return RenderColumnNumbers(grid, line, out, width, indent);
        case LineKind::Header: {
            const char* text = grid.GetHeaderText();
            return RenderHeaderText(text, text ? std::strlen(text) : 0, out, width, indent);
        }
        case LineKind::Footer: {
            const char* text = grid.GetFooterText();
            return RenderHeaderText(text, text ? std::strlen(text) : 0, out, width, indent);
        }
        case LineKind::GroupTotal:
        case LineKind::PageTotal:
        case LineKind::CarriedTotal:
        case LineKind::BroughtForward:
        case LineKind::EndTotal:
        case LineKind::SumNote:
            return RenderSumLine(grid, line, out, width, UsedIndent(indent));
        case LineKind::PageNumber:
            return RenderPageNumber(static_cast<int>(line.key), grid.GetTableStyle().page_number_position, out,
                                    width, grid.GetPrintOptions().page_number_style, grid.PageCount());
        default:
            return AppendLineEnd(out);
    }
}
