// Small grids with hand-made layout lines for the tests of text rendering, LPT1 output and export.
#ifndef LINTARO_TESTS_UNIT_TEXT_GRID_BUILDER_H
#define LINTARO_TESTS_UNIT_TEXT_GRID_BUILDER_H

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "grid/grid_model.h"
#include "render/text_layout.h"

// Cell texts by (row key, store column identifier); one TextGrid at a time owns them.
inline std::map<std::pair<int, int>, std::string>& TextGridCells() {
    static std::map<std::pair<int, int>, std::string> cells;
    return cells;
}

inline int TextGridCell(void*, int row_key, int column_identifier, char* buffer, int buffer_size) {
    const auto found = TextGridCells().find({row_key, column_identifier});
    if (found == TextGridCells().end()) return 0;
    const int length = std::min(static_cast<int>(found->second.size()), buffer_size);
    std::memcpy(buffer, found->second.data(), static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

// The same cells a column block at a time, as the program's table store hands them.
inline void TextGridColumn(void*, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                           std::uint8_t* lengths) {
    for (int k = 0; k < count; ++k) {
        char slot[kCellTextStride];
        char* text = texts != nullptr ? texts + k * kCellTextStride : slot;
        lengths[k] = static_cast<std::uint8_t>(
            TextGridCell(nullptr, static_cast<int>(row_keys[k]), column_identifier, text, kCellTextLimit));
    }
}

// A data column: its title, alignment, whether it is shown, and extra ColumnFlags.
struct TextColumn {
    std::string title;
    int alignment = kAlignLeft;
    bool visible = true;
    std::uint32_t flags = 0;
};

inline LayoutLine RowLine(std::uint32_t key, std::uint32_t ordinal, std::uint8_t flags = 0,
                          std::uint8_t height = 1) {
    return LayoutLine{key, LineKind::DataRow, flags, height, ordinal};
}

inline LayoutLine KindLine(std::uint8_t kind, std::uint8_t flags = 0, std::uint8_t height = 1,
                           std::uint32_t key = 0) {
    return LayoutLine{key, kind, flags, height, 0};
}

// A grid without devices: the row-number column "No" first (hidden unless asked for), then the
// given columns with store identifiers 11, 12, ...; the layout lines are set by hand, so the
// tests do not depend on pagination.
class TextGrid {
public:
    explicit TextGrid(const std::vector<TextColumn>& columns, bool row_numbers = false) {
        TextGridCells().clear();
        grid.SetCellTextSource(&TextGridCell, nullptr);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            grid.AddColumn(11 + static_cast<int>(i), columns[i].title.c_str());
        }
        std::vector<std::uint8_t> visible(columns.size() + 1, 1);
        visible[0] = row_numbers ? 1 : 0;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const int index = static_cast<int>(i) + 1;
            GridColumnInfo info;
            grid.GetColumnInfo(index, info);
            info.alignment = static_cast<std::uint32_t>(columns[i].alignment);
            info.flags |= columns[i].flags;
            grid.SetColumnInfo(index, info);
            visible[index] = columns[i].visible ? 1 : 0;
        }
        grid.SetVisibility(visible.data(), static_cast<int>(visible.size()));
    }

    // The cells of row `key`, one per data column in order.
    void SetRow(int key, const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) TextGridCells()[{key, 11 + static_cast<int>(i)}] = cells[i];
    }

    void SetLines(const std::vector<LayoutLine>& lines) {
        lines_ = lines;
        ItemList& list = grid.LayoutLines();
        list.MakeEmpty();
        for (const LayoutLine& line : lines) list.Append(&line, sizeof line);
    }

    // Character widths used of the visible columns, in display order.
    void SetWidths(const std::vector<int>& widths) {
        std::size_t next = 0;
        for (int i = 0; i < grid.ColumnCount() && next < widths.size(); ++i) {
            if (!grid.IsColumnVisible(i)) continue;
            grid.MutableColumn(i)->character_width = widths[next];
            grid.MutableColumn(i)->character_width_used = widths[next];
            ++next;
        }
    }

    // The style change re-lays the grid out, so the hand-made lines are put back afterwards.
    void SetPageNumberPosition(std::uint8_t position) {
        TableStyle style = grid.GetTableStyle();
        style.page_number_position = position;
        grid.SetTableStyle(style);
        SetLines(std::vector<LayoutLine>(lines_));
    }

    GridModel grid;

private:
    std::vector<LayoutLine> lines_;
};

// "a\r\nb\r\n" as {"a", "b"}; a text not ending in CR LF keeps its tail as a last element
// marked with a "<no CR LF>" suffix, so a missing line end shows in a comparison.
inline std::vector<std::string> SplitCrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start) + "<no CR LF>");
    return lines;
}

#endif
