// The demonstration table that start-up shows when there is no usable data file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/table_startup_win32.h"
#include "grid/grid_win32.h"
#include "grid_test_support.h"

namespace {

TEST(DemonstrationTable, FiveColumnsTwoWrappingSampleTextsAnd128Rows) {
    grid_test::TestGridHost host;
    Grid grid(host);
    BuildDemonstrationTable(grid);
    ASSERT_EQ(grid.ColumnCount(), 6);
    const char* const titles[] = {"No", "Колона 1", "Колона 2", "Колона 3", "Колона 4", "Колона 5"};
    for (int i = 0; i < 6; ++i) {
        GridColumnInfo info;
        grid.GetColumnInfo(i, info);
        EXPECT_STREQ(info.title, titles[i]) << i;
        EXPECT_EQ(grid.ColumnSource(i), i - 1) << "sources -1 (row numbers), then 0 to 4";
        const bool wraps = i == 1 || i == 3;
        EXPECT_EQ((info.flags & ColumnFlags::TextFlow) != 0, wraps) << i;
        EXPECT_EQ(info.max_lines, wraps ? 3u : 0u) << i;
        EXPECT_TRUE(info.flags & ColumnFlags::Visible);
    }
    EXPECT_EQ(std::string(grid.GetHeaderText()),
              "Left header text 1\tRight header text 1\r\nLeft header text 2\tRight header text 2");
    EXPECT_EQ(std::string(grid.GetFooterText()),
              "Left footer text 1\tRight footer text 1\r\nLeft footer text 2\tRight footer text 2");
    EXPECT_EQ(grid.Model().RowCount(), 128);
    // Without a cell text source every cell reads as empty.
    int data_rows = 0;
    for (int i = 0; i < grid.Model().LineCount(); ++i) {
        const LayoutLine line = grid.Model().Line(i);
        if (line.kind != LineKind::DataRow) continue;
        ++data_rows;
        char cell[256];
        EXPECT_EQ(grid.Model().CellText(line, 2, cell), 0);
    }
    EXPECT_EQ(data_rows, 128);
}

}  // namespace
