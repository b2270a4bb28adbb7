// Tests of printing on Windows printers without a device: column groups across the paper, the
// too-wide test, the jobs a page request makes and their names, and the page origin.
#include "print/windows_printing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_measuring_device.h"

namespace {

PrintSettings g_settings;
PrintSettings CurrentSettings(void*) { return g_settings; }

// A printer of 254 pixels per inch (a pixel is 0.1 mm) whose margins leave `printable` pixels
// across A4.
PrintSettings PagePrintableWidth(int printable) {
    PrintSettings settings = BuiltInPrintSettings();
    const int margins = settings.paper_width - printable * 10;
    settings.left_margin = margins / 2;
    settings.right_margin = margins - margins / 2;
    return settings;
}

class ColumnGroupTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_settings = PagePrintableWidth(100);
        model = std::make_unique<GridModel>(GridEnvironment{&screen, &print, &pictures, &CurrentSettings});
        for (int i = 0; i < 5; ++i) model->AddColumn(11 + i, "x");
    }

    // The print widths of columns 0, 1, ... (the row-number column first).
    void SetPrintWidths(const std::vector<int>& widths) {
        for (std::size_t i = 0; i < widths.size(); ++i) {
            model->MutableColumn(static_cast<int>(i))->print_width = widths[i];
        }
        model->Reformat();
    }

    // Every group as "first-end:width".
    std::string Groups() {
        std::string text;
        const int count = CountColumnGroups(*model);
        for (int g = 0; g < count; ++g) {
            ColumnGroup group;
            if (!FindColumnGroup(*model, g, group)) return text + " missing " + std::to_string(g);
            if (!text.empty()) text += " ";
            if (group.key_end_column > 0) text += "[0-" + std::to_string(group.key_end_column) + "]";
            text += std::to_string(group.first_column) + "-" + std::to_string(group.end_column) + ":" +
                    std::to_string(group.width);
        }
        return text;
    }

    FakeMeasuringDevice screen{6, 13, 96};
    FakeMeasuringDevice print{2, 10, 254};
    FakePictureSizes pictures;
    std::unique_ptr<GridModel> model;
};

TEST_F(ColumnGroupTest, PrintableWidthIsThePaperLessBothMargins) {
    EXPECT_EQ(PrintableWidthOnPaper(*model), 100);
    g_settings = PagePrintableWidth(1234);
    model->Reformat();
    EXPECT_EQ(PrintableWidthOnPaper(*model), 1234);
}

TEST_F(ColumnGroupTest, GroupsTakeColumnsWhileTheyFitAndAlwaysTheirFirst) {
    // Rule 1: 1 + 31 + 41 + 21 = 94 fits 100, + 51 would not; 1 + 51 = 52, + 121 would not;
    // 122 is wider than the paper but a group takes its first column; + 11 would not fit.
    SetPrintWidths({30, 40, 20, 50, 120, 10});
    EXPECT_EQ(Groups(), "0-3:94 3-4:52 4-5:122 5-6:12");
    EXPECT_EQ(model->PrintState().column_groups, 4);
    ColumnGroup group;
    EXPECT_FALSE(FindColumnGroup(*model, 4, group));
    EXPECT_FALSE(FindColumnGroup(*model, -1, group));
}

TEST_F(ColumnGroupTest, KeyColumnsRepeatLeftOfEveryLaterGroup) {
    SetPrintWidths({30, 40, 20, 50, 120, 10});
    PrintOptions options;
    options.key_columns = 1;
    model->SetPrintOptions(options);
    // Later groups start 1 + 31 wide: "+ 51" fits (83), "+ 121" begins the next group, which
    // takes it whatever its width (153); "+ 11" then begins the last one (43).
    EXPECT_EQ(Groups(), "0-3:94 [0-1]3-4:83 [0-1]4-5:153 [0-1]5-6:43");
    EXPECT_EQ(model->PrintState().column_groups, 4);

    // Two keys (72) would leave no room for the 51 of a column that fits a sheet alone: one
    // repeats. Asking for more than there are visible columns asks for all but the last.
    const struct {
        int asked;
        int wanted;
        int kept;
    } cases[] = {{2, 2, 1}, {5, 5, 1}, {400, 5, 1}, {0, 0, 0}};
    for (const auto& c : cases) {
        options.key_columns = static_cast<std::uint16_t>(c.asked);
        model->SetPrintOptions(options);
        const KeyColumns keys = FindKeyColumns(*model);
        EXPECT_EQ(keys.wanted, c.wanted) << c.asked;
        EXPECT_EQ(keys.count, c.kept) << c.asked;
    }

    // A hidden column is no key: the first visible one is (column 1, 41 wide with its rule).
    options.key_columns = 1;
    model->SetPrintOptions(options);
    const std::uint8_t visible[] = {0, 1, 1, 1, 1, 1};
    model->SetVisibility(visible, 6);
    EXPECT_EQ(Groups(), "1-3:63 [0-2]3-4:93 [0-2]4-5:163 [0-2]5-6:53");

    // Keys wider than the sheet leave room for nothing: none repeat.
    SetPrintWidths({30, 140, 20, 50, 10, 10});
    EXPECT_EQ(FindKeyColumns(*model).count, 0);
    EXPECT_EQ(Groups(), "1-2:142 2-6:95");
}

TEST_F(ColumnGroupTest, FitToWidthScalesTheTableIntoOneGroupDownTo40Percent) {
    // 1 + 31 + 41 + 21 + 51 + 11 + 11 = 167 on a sheet of 100: scale 598 thousandths, and a
    // sheet of 100 × 1000 / 598 = 167 to lay out on.
    SetPrintWidths({30, 40, 20, 50, 10, 10});
    PrintOptions options;
    options.fit_to_width = 1;
    model->SetPrintOptions(options);
    EXPECT_EQ(PrintScale(*model), 598);
    EXPECT_EQ(PrintableWidthOnPaper(*model), 167);
    EXPECT_EQ(Groups(), "0-6:167");
    EXPECT_TRUE(FitsPageWidth(*model));
    // 251 wide needs 398 thousandths, below 40 %: unscaled column groups as without the option.
    SetPrintWidths({30, 40, 20, 50, 94, 10});
    EXPECT_EQ(PrintScale(*model), 1000);
    EXPECT_EQ(Groups(), "0-3:94 3-4:52 4-5:96 5-6:12");
    // A table that fits is never enlarged.
    SetPrintWidths({10, 10, 10, 10, 10, 10});
    EXPECT_EQ(PrintScale(*model), 1000);
    EXPECT_EQ(PrintableWidthOnPaper(*model), 100);
    // The dot-matrix printer counts characters: nothing to scale.
    SetPrintWidths({30, 40, 20, 50, 10, 10});
    g_settings.printer_kind = kDotMatrixPrinter;
    model->Reformat();
    EXPECT_EQ(PrintScale(*model), 1000);
}

TEST_F(ColumnGroupTest, AbsurdSheetsNeitherScaleNorRepeatKeys) {
    SetPrintWidths({30, 40, 20, 50, 10, 10});
    PrintOptions options;
    options.key_columns = 2;
    options.fit_to_width = 1;
    model->SetPrintOptions(options);
    const struct {
        const char* what;
        int paper_width;
        int left_margin;
        int right_margin;
    } cases[] = {
        {"no paper", 0, 0, 0},
        {"margins wider than the paper", 21000, 15000, 15000},
        {"negative margins", 21000, -2000000000, -2000000000},
        {"the widest paper", 2147483647, 0, 0},
    };
    for (const auto& c : cases) {
        g_settings = BuiltInPrintSettings();
        g_settings.paper_width = c.paper_width;
        g_settings.left_margin = c.left_margin;
        g_settings.right_margin = c.right_margin;
        model->Reformat();
        const int scale = PrintScale(*model);
        EXPECT_TRUE(scale >= kSmallestPrintScale && scale <= kFullPrintScale) << c.what;
        const KeyColumns keys = FindKeyColumns(*model);
        EXPECT_TRUE(keys.count >= 0 && keys.count <= 2) << c.what;
        const std::vector<ColumnGroup> groups = DivideIntoColumnGroups(*model);
        ASSERT_FALSE(groups.empty()) << c.what;
        for (const ColumnGroup& group : groups) EXPECT_LE(group.key_end_column, group.first_column) << c.what;
    }
    // No room at all: every column a group of its own, no keys, no scale.
    g_settings = PagePrintableWidth(0);
    model->Reformat();
    EXPECT_EQ(PrintScale(*model), 1000);
    EXPECT_EQ(FindKeyColumns(*model).count, 0);
    EXPECT_EQ(DivideIntoColumnGroups(*model).size(), 6u);
}

TEST_F(ColumnGroupTest, AGroupMayFillThePrintableWidthExactly) {
    // 1 + 31 + 41 + 27 = 100: exactly the printable width, one group.
    SetPrintWidths({30, 40, 26, 0, 0, 0});
    for (int i = 3; i < 6; ++i) model->MutableColumn(i)->flags &= ~ColumnFlags::Visible;
    EXPECT_EQ(Groups(), "0-6:100");
    SetPrintWidths({30, 40, 27});
    EXPECT_EQ(Groups(), "0-2:73 2-6:29");
}

TEST_F(ColumnGroupTest, InvisibleColumnsBelongToNoGroupAndTakeNoWidth) {
    SetPrintWidths({30, 40, 20, 50, 120, 10});
    model->MutableColumn(3)->flags &= ~ColumnFlags::Visible;
    model->MutableColumn(4)->flags &= ~ColumnFlags::Visible;
    // 94 + 11 = 105 does not fit: column 5 starts the second group.
    EXPECT_EQ(Groups(), "0-5:94 5-6:12");
    model->MutableColumn(0)->flags &= ~ColumnFlags::Visible;
    EXPECT_EQ(Groups(), "1-6:74");
}

TEST_F(ColumnGroupTest, WithoutVisibleColumnsThereIsStillOneGroup) {
    for (int i = 0; i < model->ColumnCount(); ++i) model->MutableColumn(i)->flags &= ~ColumnFlags::Visible;
    EXPECT_EQ(CountColumnGroups(*model), 1);
    ColumnGroup group;
    EXPECT_FALSE(FindColumnGroup(*model, 0, group));
}

TEST_F(ColumnGroupTest, FitsPageWidthKeepsTheWidthThatFitsAndTheFirstColumnBeyond) {
    SetPrintWidths({30, 40, 20, 50, 120, 10});
    EXPECT_FALSE(FitsPageWidth(*model));
    EXPECT_EQ(model->PrintState().table_width_on_paper, 94);
    EXPECT_EQ(model->PrintState().first_unfit_column, 3);
    EXPECT_EQ(model->PrintState().column_groups, 4);

    SetPrintWidths({10, 10, 10, 10, 10, 10});
    EXPECT_TRUE(FitsPageWidth(*model));
    EXPECT_EQ(model->PrintState().table_width_on_paper, 67);
    EXPECT_EQ(model->PrintState().first_unfit_column, 6);
    EXPECT_EQ(model->PrintState().column_groups, 1);
}

TEST_F(ColumnGroupTest, ThickRulesCountInTheWidth) {
    SetPrintWidths({30, 40, 20, 0, 0, 0});
    for (int i = 3; i < 6; ++i) model->MutableColumn(i)->flags &= ~ColumnFlags::Visible;
    TableStyle style = model->GetTableStyle();
    style.line_type = LineType::Double;  // rules 3 pixels: 3 + 33 + 43 + 23 = 102
    model->SetTableStyle(style);
    EXPECT_FALSE(FitsPageWidth(*model));
    EXPECT_EQ(model->PrintState().table_width_on_paper, 79);
    EXPECT_EQ(model->PrintState().first_unfit_column, 2);
    EXPECT_EQ(Groups(), "0-2:79 2-6:26");
}

// --- Jobs -------------------------------------------------------------------------------------

// The jobs as "copy.page.group" words, "*" marking exchanged margins.
std::string Plan(const WindowsPageRequest& request, int pages, int groups) {
    std::string text;
    for (const PrintJob& job : PlanPrintJobs(request, pages, groups)) {
        if (!text.empty()) text += " ";
        text += std::to_string(job.copy) + "." + std::to_string(job.page) + "." + std::to_string(job.column_group);
        if (job.exchange_margins) text += "*";
    }
    return text;
}

struct PlanCase {
    const char* name;
    WindowsPageRequest request;  // from, to, subset, group from, group to, copies
    int pages;
    int groups;
    const char* jobs;
};

TEST(PlanPrintJobsTest, PagesSubsetsGroupsAndCopies) {
    const PlanCase cases[] = {
        {"all pages", {1, 3, 0, 1, 1, 1}, 3, 1, "1.1.1 1.2.1 1.3.1"},
        {"odd pages of 2 to 5", {2, 5, 1, 1, 1, 1}, 6, 1, "1.3.1 1.5.1"},
        {"even pages of 2 to 5 exchange the margins", {2, 5, 2, 1, 1, 1}, 6, 1, "1.2.1* 1.4.1*"},
        {"three copies repeat the range", {1, 2, 0, 1, 1, 3}, 4, 1, "1.1.1 1.2.1 2.1.1 2.2.1 3.1.1 3.2.1"},
        {"copies 0 print one", {1, 1, 0, 1, 1, 0}, 1, 1, "1.1.1"},
        {"copies 9 print one", {1, 1, 0, 1, 1, 9}, 1, 1, "1.1.1"},
        {"five copies are the most", {1, 1, 0, 1, 1, 5}, 1, 1, "1.1.1 2.1.1 3.1.1 4.1.1 5.1.1"},
        {"each group of each page", {1, 2, 0, 1, 3, 1}, 2, 3, "1.1.1 1.1.2 1.1.3 1.2.1 1.2.2 1.2.3"},
        {"a range of groups", {2, 2, 0, 2, 3, 2}, 2, 4, "1.2.2 1.2.3 2.2.2 2.2.3"},
        {"groups beyond the count", {1, 1, 0, 2, 9, 1}, 1, 3, "1.1.2 1.1.3"},
        {"a reversed group range", {1, 1, 0, 3, 2, 1}, 1, 3, ""},
        {"page 0 and pages past the end make no job", {0, 5, 0, 1, 1, 1}, 2, 1, "1.1.1 1.2.1"},
        {"only pages without a page", {4, 6, 0, 1, 1, 2}, 3, 1, ""},
        {"a reversed page range", {3, 2, 0, 1, 1, 1}, 5, 1, ""},
        {"no pages at all", {1, 1, 0, 1, 1, 1}, 0, 1, ""},
    };
    for (const PlanCase& c : cases) {
        EXPECT_EQ(Plan(c.request, c.pages, c.groups), c.jobs) << c.name;
    }
}

TEST(PrintJobNameTest, CopyPageInThreeDigitsAndGroup) {
    char name[64];
    FormatPrintJobName(PrintJob{1, 1, 1, false}, name);
    EXPECT_STREQ(name, "Linta_1_001_1");
    FormatPrintJobName(PrintJob{3, 42, 2, true}, name);
    EXPECT_STREQ(name, "Linta_3_042_2");
    FormatPrintJobName(PrintJob{5, 1234, 12, false}, name);
    EXPECT_STREQ(name, "Linta_5_1234_12");
}

TEST(PageOriginTest, MarginsLessTheUnprintableStrips) {
    PrintSettings page = BuiltInPrintSettings();
    page.left_margin = 150;
    page.right_margin = 100;
    page.top_margin = 80;
    PageMetrics strips{};
    PageOrigin origin = PageOriginOnSheet(page, strips, false);
    EXPECT_EQ(origin.x, 150);
    EXPECT_EQ(origin.y, 80);
    origin = PageOriginOnSheet(page, strips, true);
    EXPECT_EQ(origin.x, 100);
    EXPECT_EQ(origin.y, 80);

    strips.unprintable_left = 50;
    strips.unprintable_top = 30;
    origin = PageOriginOnSheet(page, strips, false);
    EXPECT_EQ(origin.x, 100);
    EXPECT_EQ(origin.y, 50);
    origin = PageOriginOnSheet(page, strips, true);
    EXPECT_EQ(origin.x, 50);

    // A strip at least as wide as the margin puts the table at the edge of the printable area.
    strips.unprintable_left = 150;
    strips.unprintable_top = 200;
    origin = PageOriginOnSheet(page, strips, false);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    origin = PageOriginOnSheet(page, strips, true);
    EXPECT_EQ(origin.x, 0);
}

TEST(PrintedPageNumberTest, CentredPositionsAreDashedOthersEndWithAStop) {
    char text[24];
    FormatPrintedPageNumber(PageNumberPosition::BottomCenter, 3, text);
    EXPECT_STREQ(text, "- 3 -");
    FormatPrintedPageNumber(PageNumberPosition::TopCenter, 12, text);
    EXPECT_STREQ(text, "- 12 -");
    FormatPrintedPageNumber(PageNumberPosition::TopRight, 3, text);
    EXPECT_STREQ(text, "3.");
    FormatPrintedPageNumber(PageNumberPosition::BottomLeft, 7, text);
    EXPECT_STREQ(text, "7.");
}

}  // namespace
