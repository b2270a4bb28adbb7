// Loading a data file in the running program: head into the settings, table into store and grid.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/grid_host_win32.h"
#include "app/session_loading_win32.h"
#include "app/session_win32.h"
#include "grid/grid_win32.h"
#include "grid_test_support.h"
#include "print/printer_names.h"
#include "print/printer_services_win32.h"
#include "session_test_support.h"
#include "store/table_store.h"

namespace {

using grid_test::ScratchFolder;

void WriteText(const std::string& path, const std::string& text) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string SecondPrinter() {
    char default_name[260];
    DefaultPrinterName(default_name, sizeof default_name);
    for (const std::string& name : ListPrinters()) {
        if (!SamePrinterName(name.c_str(), default_name)) return name;
    }
    return "";
}

std::string Title(const Grid& grid, int index) {
    char title[129];
    grid.ColumnTitle(index, title, 128);
    return title;
}

class SessionLoading : public testing::Test {
protected:
    session_test::FreshSession session_;
    ScratchFolder folder_{"session_loading"};
};

TEST_F(SessionLoading, HeadSetsPrinterPageCaptionAndFontThenTableFillsTheGrid) {
    const std::string printer = SecondPrinter();
    ASSERT_FALSE(printer.empty());
    const std::string path = folder_.File("stock.rdf");
    WriteText(path,
              "WindowTitle:  Stock   list \r\nPrinter: " + printer +
                  "\r\nPage: Width 100, Left 1.00, Right 30.00\r\nOrientation: Landscape\r\n"
                  "Font: Arial, 12, Bold\r\nTitles:\r\nNo.\tItem\tPhoto\r\nTypes:\r\nNumber\tText\tPicture\r\n"
                  "Data:\r\n1\tChair\tchair.bmp\r\n2\t\xD1\xF2\xEE\xEB\r\n");
    ASSERT_TRUE(LoadDataFile(path.c_str()));

    EXPECT_STREQ(CurrentSession().window_title, "Stock list");
    const PrintSettings settings = GetPrintSettings();
    EXPECT_EQ(settings.printer_kind, kOtherWindowsPrinter);
    EXPECT_EQ(printer, settings.device_name);
    EXPECT_EQ(settings.flags, kLandscapeFlag);
    HDC info = CreateICA(nullptr, printer.c_str(), nullptr, nullptr);
    ASSERT_NE(info, nullptr);
    const PageMetrics metrics = ReadPageMetrics(info, true);
    DeleteDC(info);
    EXPECT_EQ(settings.paper_width, metrics.paper_width) << "paper comes from the printer";
    EXPECT_EQ(settings.left_margin, metrics.unprintable_left) << "1 mm rises to the strip";
    EXPECT_EQ(settings.right_margin, 3000);
    EXPECT_NE(CurrentSession().printer_info, nullptr);

    Grid& grid = *CurrentSession().grid;
    EXPECT_STREQ(grid.GetFont().face_name, "Arial");
    EXPECT_EQ(grid.GetFont().size, 120);
    EXPECT_EQ(grid.GetFont().style, static_cast<std::uint32_t>(kFontBold));
    ASSERT_EQ(grid.ColumnCount(), 4);
    EXPECT_EQ(Title(grid, 1), "No.");
    EXPECT_EQ(Title(grid, 3), "Photo");
    GridColumnInfo number, text, picture;
    grid.GetColumnInfo(1, number);
    grid.GetColumnInfo(2, text);
    grid.GetColumnInfo(3, picture);
    EXPECT_EQ(number.alignment, 1u);
    EXPECT_EQ(text.alignment, 0u);
    EXPECT_EQ(picture.alignment, 2u);
    EXPECT_EQ(picture.type, 201u);
    EXPECT_EQ(grid.ColumnSource(2), 12);
    EXPECT_EQ(grid.Model().RowCount(), 2);
    // No header section: the file name as given heads the pages.
    EXPECT_EQ(std::string(grid.GetHeaderText()), path);
    EXPECT_EQ(std::string(CurrentSession().data_directory), folder_.path());

    char cell[256];
    EXPECT_EQ(StoreCellTextSource(&CurrentSession(), 1, 12, cell, 255), 4);
    EXPECT_STREQ(cell, "\xD1\xF2\xEE\xEB");
    EXPECT_EQ(StoreCellTextSource(&CurrentSession(), 5, 12, cell, 255), 0);
    EXPECT_STREQ(cell, "");
}

TEST_F(SessionLoading, FailedLoadKeepsGridAndStoreButNotTheHead) {
    const std::string good = folder_.File("good.rdf");
    WriteText(good, "Header:\r\nTop\tRight\r\nFooter:\r\nBottom\r\nTitles:\r\nA\tB\r\nData:\r\nx\ty\r\n");
    ASSERT_TRUE(LoadDataFile(good.c_str()));
    const TableStore* store = CurrentSession().table_store.get();
    EXPECT_STREQ(CurrentSession().grid->GetHeaderText(), "Top\tRight");
    EXPECT_STREQ(CurrentSession().grid->GetFooterText(), "Bottom");

    const std::string bad = folder_.File("bad.rdf");
    WriteText(bad, "WindowTitle: Broken\nTitles:\nA\nData:\nx\n");  // LF line ends: no titles line
    EXPECT_FALSE(LoadDataFile(bad.c_str()));
    EXPECT_STREQ(CurrentSession().window_title, "Broken");
    EXPECT_EQ(CurrentSession().table_store.get(), store);
    EXPECT_EQ(CurrentSession().grid->ColumnCount(), 3);
    EXPECT_STREQ(CurrentSession().grid->GetHeaderText(), "Top\tRight");

    EXPECT_FALSE(LoadDataFile(folder_.File("missing.rdf").c_str()));
    EXPECT_FALSE(LoadDataFile((folder_.path() + "\\no folder\\x.rdf").c_str()));
}

TEST_F(SessionLoading, LayoutFileTitlesComeFromTheDataFile) {
    const std::string data = folder_.File("titles.rdf");
    WriteText(data, "Titles:\r\nFirst\tSecond\r\nData:\r\n1\t2\r\n");
    ASSERT_TRUE(LoadDataFile(data.c_str()));
    const std::string layout = folder_.File("titles.rff");
    ASSERT_TRUE(CurrentSession().grid->SaveLayout(layout.c_str()));
    // The user had moved the row numbers behind the other two: swap the first and last records.
    grid_test::Bytes bytes;
    ASSERT_TRUE(grid_test::ReadBytes(layout, bytes));
    ASSERT_EQ(bytes.size(), 128u + 3 * 48);
    std::swap_ranges(bytes.begin() + 128, bytes.begin() + 128 + 48, bytes.begin() + 128 + 96);
    WriteText(layout, std::string(bytes.begin(), bytes.end()));

    session_.Reset();
    ASSERT_TRUE(LoadDataFile(data.c_str()));
    ASSERT_TRUE(CurrentSession().grid->LoadLayout(layout.c_str()));
    Grid& grid = *CurrentSession().grid;
    EXPECT_EQ(grid.ColumnSource(0), 12);
    // Every column keeps its own title, the row numbers theirs; fetching them again changes
    // nothing, so the layout file has no reason to be written.
    for (int fetched = 0; fetched < 2; ++fetched) {
        EXPECT_EQ(Title(grid, 0), "Second");
        EXPECT_EQ(Title(grid, 1), "First");
        EXPECT_EQ(Title(grid, 2), "No");
        EXPECT_FALSE(grid.Model().IsModified());
        RefreshColumnTitles();
    }
}

}  // namespace
