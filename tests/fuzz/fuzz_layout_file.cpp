// Fuzzes applying a column layout file to a grid, then everything that reads the columns back.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "grid/column_groups.h"
#include "grid/column_layout_file.h"
#include "grid/grid_model.h"
#include "base/byte_order.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

int CellText(void*, int row_key, int, char* buffer, int buffer_size) {
    static const char kText[] = "Иван Петров Иванов - 12.03.1998 and-a-long-hyphenated word";
    const int length = std::min(static_cast<int>(sizeof kText - 1) - row_key, buffer_size);
    std::memcpy(buffer, kText, static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

// A grid as the data file reader leaves it, with 1 to 4 columns of titles.
void Prepare(GridModel& model, int extra_columns) {
    static const char* const kTitles[] = {"Name", "", "Сума за плащане", "x"};
    for (int i = 0; i < extra_columns; ++i) model.AddColumn(11 + i, kTitles[i]);
    model.SetHeaderText("Left\tRight\r\nSecond");
    model.SetFooterText("Footer");
    model.SetCellTextSource(&CellText, nullptr);
}

void CheckReadable(const GridModel& model) {
    Check(std::strcmp(model.GetHeaderText(), "Left\tRight\r\nSecond") == 0);
    Check(std::strcmp(model.GetFooterText(), "Footer") == 0);
    for (int i = 0; i < model.ColumnCount(); ++i) {
        GridColumnInfo info;
        model.GetColumnInfo(i, info);
        Check(strnlen(info.title, sizeof info.title) <= kColumnTitleLimit);
        char title[kColumnTitleLimit + 1];
        model.ColumnTitle(i, title, kColumnTitleLimit);
        Check(std::strcmp(title, info.title) == 0);
        const GridColumn* column = model.Column(i);
        Check(column->width >= 0 && column->width <= kColumnWidthLimit);
        Check(column->print_width >= 0 && column->print_width <= kColumnWidthLimit);
        Check(column->alignment >= 0 && column->alignment <= 2);
        Check(column->max_lines == 0 || column->max_lines >= 2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int extra_columns = static_cast<int>(size % 4);
    GridModel model;
    Prepare(model, extra_columns);
    const std::vector<std::uint8_t> before = model.BuildLayoutFileImage();

    const bool accepted = model.ApplyLayoutFileImage(data, size);
    if (accepted) {
        // The file's columns, then the table's columns that the file does not list.
        const std::uint32_t listed = ReadUint32(data + 10);
        const auto count = static_cast<std::uint32_t>(model.ColumnCount());
        Check(count >= listed && count <= listed + static_cast<std::uint32_t>(extra_columns));
        const TableStyle style = model.GetTableStyle();
        Check(style.line_type >= 1 && style.line_type <= 3);
        Check(model.Metrics(GridDevice::Screen).rule_width == style.line_type);
        Check(model.GetFont().face_name[31] == '\0');
        const PrintOptions options = model.GetPrintOptions();
        Check(options.key_columns <= kLayoutFileColumnLimit);
        Check(options.page_number_style <= PageNumberStyle::PageOfPages && options.fit_to_width <= 1);
        Check(options.sum_lines <= (SumPlacement::PageTotals | SumPlacement::BroughtForward |
                                    SumPlacement::GroupTotals | SumPlacement::NoEndTotal));
    } else {
        Check(model.BuildLayoutFileImage() == before);
    }
    CheckReadable(model);

    // What the grid writes back is accepted again and stays the same.
    const std::vector<std::uint8_t> image = model.BuildLayoutFileImage();
    GridModel again;
    Prepare(again, extra_columns);
    Check(again.ApplyLayoutFileImage(image));
    Check(again.BuildLayoutFileImage() == image);

    // The columns from the file are used: titles replaced, widths measured, rows laid out.
    for (int i = 0; i < model.ColumnCount(); ++i) {
        GridColumnInfo info;
        model.GetColumnInfo(i, info);
        std::snprintf(info.title, sizeof info.title, "Column %d with a longer title", i);
        model.SetColumnInfo(i, info);
    }
    model.SetRowCount(3);
    model.ApplyNaturalWidths();
    model.UpdateTableWidth();
    CheckReadable(model);

    // The options the file brought divide the columns soundly: keys before every group's own
    // columns, never all of them, and a scale within its bounds.
    const int scale = PrintScale(model);
    Check(scale >= kSmallestPrintScale && scale <= kFullPrintScale);
    const KeyColumns keys = FindKeyColumns(model);
    Check(keys.count >= 0 && keys.count <= keys.wanted && keys.end_column <= model.ColumnCount());
    for (const ColumnGroup& group : DivideIntoColumnGroups(model)) {
        Check(group.key_end_column <= group.first_column && group.first_column < group.end_column);
    }
    return 0;
}
