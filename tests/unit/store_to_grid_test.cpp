// The grid built from a table store: columns, alignment by type, texts, rows, titles, cells.
#include "formats/store_to_grid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_measuring_device.h"
#include "formats/data_file.h"
#include "grid/grid_model.h"
#include "render/text_layout.h"

namespace {

const TableStore* g_store = nullptr;

int CellsOfTheTestStore(void*, int row_key, int column_identifier, char* buffer, int size) {
    return CellTextFromStore(g_store, row_key, column_identifier, buffer, size);
}

class StoreToGrid : public testing::Test {
protected:
    void Load(const std::string& file) {
        ASSERT_EQ(ReadDataFileTable(file, table_, [] { return 500; }), TableReadResult::Read);
        g_store = table_.store.get();
        grid_.SetCellTextSource(CellsOfTheTestStore, nullptr);
    }
    std::string Title(int index) const {
        char title[129];
        grid_.ColumnTitle(index, title, 128);
        return title;
    }
    GridColumnInfo Info(int index) const {
        GridColumnInfo info;
        grid_.GetColumnInfo(index, info);
        return info;
    }

    FakeMeasuringDevice screen_{6, 13, 96};
    FakeMeasuringDevice print_{25, 50, 400};
    GridModel grid_{GridEnvironment{&screen_, &print_, nullptr, nullptr}};
    DataFileTable table_;
};

TEST_F(StoreToGrid, OneGridColumnPerStoreColumnAlignedByType) {
    Load("Titles:\r\nNo\tName\tWhen\tPhoto\r\nTypes:\r\nNumber\tText\tDate\tPicture\r\n"
         "Data:\r\n1\tIvan\t01.02.2026\tx.bmp\r\n22\tMaria Petrova\t\t\r\n");
    grid_.AddColumn(99, "Stale");
    ASSERT_TRUE(RebuildGridFromStore(grid_, g_store, "Head\tRight", "Foot"));

    ASSERT_EQ(grid_.ColumnCount(), 5);
    EXPECT_TRUE(grid_.IsRowNumberColumn(0));
    EXPECT_EQ(Title(1), "No");
    EXPECT_EQ(Title(4), "Photo");
    EXPECT_EQ(grid_.ColumnSource(1), 11);
    EXPECT_EQ(grid_.ColumnSource(4), 14);
    const std::uint32_t expected_alignment[] = {kAlignRight, kAlignRight, kAlignLeft, kAlignLeft,
                                                kAlignCenter};
    const std::uint32_t expected_type[] = {0, 1, 0, 2, 201};
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(Info(i).alignment, expected_alignment[i]) << i;
        EXPECT_EQ(Info(i).type, expected_type[i]) << i;
    }
    EXPECT_STREQ(grid_.GetHeaderText(), "Head\tRight");
    EXPECT_STREQ(grid_.GetFooterText(), "Foot");
    EXPECT_EQ(grid_.RowCount(), 2);
    // Natural widths were applied: the name column fits "Maria Petrova" on the screen device.
    const GridColumn* name = grid_.Column(2);
    ASSERT_NE(name, nullptr);
    EXPECT_GE(name->width, screen_.ExpectedWidth("Maria Petrova", grid_.GetFont()));
    EXPECT_GT(name->print_width, name->width);
}

TEST_F(StoreToGrid, WithoutNaturalWidthsTheCellsAndRowsAreTheSameButNothingIsMeasured) {
    Load("Titles:\r\nNo\tName\r\nTypes:\r\nNumber\tText\r\nData:\r\n1\tIvan\r\n22\tMaria Petrova\r\n");
    ASSERT_TRUE(RebuildGridFromStore(grid_, g_store, "Head", "Foot", false));
    ASSERT_EQ(grid_.ColumnCount(), 3);
    EXPECT_EQ(Title(2), "Name");
    EXPECT_EQ(Info(1).alignment, static_cast<std::uint32_t>(kAlignRight));
    EXPECT_STREQ(grid_.GetFooterText(), "Foot");
    ASSERT_EQ(grid_.RowCount(), 2);
    // The data rows in file order, as the exports walk them.
    std::string names;
    char text[kCellTextLimit + 1];
    for (int l = 0; l < grid_.LineCount(); ++l) {
        if (grid_.Line(l).kind != LineKind::DataRow) continue;
        grid_.CellText(grid_.Line(l), 2, text);
        names += std::string(text) + ";";
    }
    EXPECT_EQ(names, "Ivan;Maria Petrova;");
    // The name column keeps the width a new column has: "Maria Petrova" was never measured.
    EXPECT_LT(grid_.Column(2)->width, screen_.ExpectedWidth("Maria Petrova", grid_.GetFont()));
}

TEST_F(StoreToGrid, NullTextsLeaveHeaderAndFooterEmpty) {
    Load("Titles:\r\nA\r\nData:\r\n");
    grid_.SetHeaderText("old header");
    ASSERT_TRUE(RebuildGridFromStore(grid_, g_store, "file.rdf", nullptr));
    EXPECT_STREQ(grid_.GetHeaderText(), "file.rdf");
    EXPECT_STREQ(grid_.GetFooterText(), "");
    EXPECT_EQ(grid_.RowCount(), 0);

    GridModel untouched{GridEnvironment{&screen_, &print_, nullptr, nullptr}};
    untouched.AddColumn(11, "Kept");
    EXPECT_TRUE(RebuildGridFromStore(untouched, nullptr, "x", "y"));
    EXPECT_EQ(untouched.ColumnCount(), 2);
}

TEST_F(StoreToGrid, TitlesAreFetchedAgainBySource) {
    Load("Titles:\r\nFirst\tSecond\r\nData:\r\n");
    ASSERT_TRUE(RebuildGridFromStore(grid_, g_store, nullptr, nullptr));
    for (int i = 1; i <= 2; ++i) {
        GridColumnInfo info = Info(i);
        std::strcpy(info.title, "changed");
        grid_.SetColumnInfo(i, info);
    }
    grid_.AddColumn(0x10000 | 12, "high bits ignored");
    grid_.AddColumn(0x20000, "no store column");
    RefreshColumnTitles(grid_, g_store);
    EXPECT_EQ(Title(0), "No");
    EXPECT_EQ(Title(1), "First");
    EXPECT_EQ(Title(2), "Second");
    EXPECT_EQ(Title(3), "Second");
    EXPECT_EQ(Title(4), "no store column");
}

TEST_F(StoreToGrid, CellTextIsTerminatedAndBounded) {
    Load("Titles:\r\nA\r\nData:\r\n" + std::string(255, 'x') + "\r\n");
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(CellTextFromStore(g_store, 0, 11, buffer, 255), 255);
    EXPECT_EQ(buffer[255], '\0');
    char small[5];
    EXPECT_EQ(CellTextFromStore(g_store, 0, 11, small, 4), 4);
    EXPECT_STREQ(small, "xxxx");
    EXPECT_EQ(CellTextFromStore(g_store, 0, 11, small, 0), 0);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(CellTextFromStore(nullptr, 0, 11, small, 4), 0);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(CellTextFromStore(g_store, 7, 11, small, 4), 0);
    EXPECT_STREQ(small, "");
}

}  // namespace
