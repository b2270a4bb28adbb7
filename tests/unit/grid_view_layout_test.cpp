// Tests of the view over the grid's lines on fake devices: scrolling by sub-lines, pages and
// 8-pixel steps, hit tests of lines and column edges, column moves and resizes.
#include "grid/grid_view_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "fake_measuring_device.h"
#include "grid/column_groups.h"

namespace {

PrintSettings WholeA4(void*) { return BuiltInPrintSettings(); }

class GridViewLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        model = std::make_unique<GridModel>(GridEnvironment{&screen, &print, &pictures, &WholeA4});
        model->AddColumn(11, "Name");     // screen width 4 * 6 + 6 + 2 = 32
        model->AddColumn(12, "Amount");   // 6 * 6 + 8 = 44
        model->AddColumn(13, "Date");     // 32
    }

    // Data rows of the given heights in text lines, each with a rule below: 13 pixels a text
    // line on screen, plus 1 for the rule.
    void UseRows(const std::vector<int>& heights) {
        ItemList& lines = model->LayoutLines();
        lines.MakeEmpty();
        int total = 0;
        for (std::size_t i = 0; i < heights.size(); ++i) {
            LayoutLine line{};
            line.key = static_cast<std::uint32_t>(i);
            line.kind = LineKind::DataRow;
            line.flags = LineFlags::RuleBelow;
            line.height = static_cast<std::uint8_t>(heights[i]);
            line.ordinal = static_cast<std::uint32_t>(i + 1);
            lines.Append(&line, sizeof line);
            total += heights[i];
        }
        GridViewState& view = model->ViewState();
        view = GridViewState{};
        view.total_text_lines = total;
    }

    // What a paint of `frame` would store: the vertical position and the text lines in view.
    void Paint(const GridFrame& frame) {
        GridViewState& view = model->ViewState();
        view.vertical_position = VerticalPositionOf(*model);
        const LastVisible last = FindLastFullyVisible(*model, view.top_line, view.top_sub_line, frame.client);
        int lines = 0;
        for (int l = view.top_line; l < last.line; ++l) lines += model->Line(l).height;
        view.visible_text_lines = lines + last.sub_line + 1 - view.top_sub_line;
    }

    std::pair<int, int> Top() const { return {model->ViewState().top_line, model->ViewState().top_sub_line}; }

    FakeMeasuringDevice screen{6, 13, 96};
    FakeMeasuringDevice print{25, 50, 300};
    FakePictureSizes pictures;
    std::unique_ptr<GridModel> model;
    // Room for 7 sub-lines of 14 below the top band: 4 + 7 * 14 = 102.
    GridFrame frame{PixelRect{0, 0, 300, 104}, 0};
};

TEST_F(GridViewLayoutTest, LinesScrollOneSubLineAtATime) {
    UseRows({1, 3, 1});
    model->ViewState().visible_text_lines = 1;  // as if the window held one text line
    std::vector<std::pair<int, int>> tops;
    while (LineDown(*model)) {
        tops.push_back(Top());
        model->ViewState().vertical_position = VerticalPositionOf(*model);
    }
    EXPECT_EQ(tops, (std::vector<std::pair<int, int>>{{1, 0}, {1, 1}, {1, 2}, {2, 0}}));
    EXPECT_EQ(model->ViewState().vertical_position, 4);
    tops.clear();
    while (LineUp(*model)) tops.push_back(Top());
    EXPECT_EQ(tops, (std::vector<std::pair<int, int>>{{1, 2}, {1, 1}, {1, 0}, {0, 0}}));
}

TEST_F(GridViewLayoutTest, LineDownStopsOnceTheEndIsInView) {
    UseRows(std::vector<int>(10, 1));
    Paint(frame);
    EXPECT_EQ(model->ViewState().visible_text_lines, 7);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(LineDown(*model));
        Paint(frame);
    }
    EXPECT_EQ(Top(), std::make_pair(3, 0));
    EXPECT_FALSE(LineDown(*model));
    EXPECT_EQ(Top(), std::make_pair(3, 0));
}

TEST_F(GridViewLayoutTest, PagesKeepOneSubLineInViewAcrossTheTurn) {
    UseRows(std::vector<int>(20, 1));
    Paint(frame);
    // Down: the last fully visible row (the 7th) comes to the top.
    ASSERT_TRUE(PageDown(*model, frame));
    EXPECT_EQ(Top(), std::make_pair(6, 0));
    Paint(frame);
    ASSERT_TRUE(PageDown(*model, frame));
    EXPECT_EQ(Top(), std::make_pair(12, 0));
    Paint(frame);
    // Near the end the view is filled from the bottom up: rows 13..19 are the last seven.
    ASSERT_TRUE(PageDown(*model, frame));
    EXPECT_EQ(Top(), std::make_pair(13, 0));
    Paint(frame);
    EXPECT_FALSE(PageDown(*model, frame));
    // Up: the row at the top goes to the bottom.
    ASSERT_TRUE(PageUp(*model, frame));
    EXPECT_EQ(Top(), std::make_pair(7, 0));
    Paint(frame);
    ASSERT_TRUE(PageUp(*model, frame));
    EXPECT_EQ(Top(), std::make_pair(1, 0));
    Paint(frame);
    ASSERT_TRUE(PageUp(*model, frame));
    EXPECT_EQ(Top(), std::make_pair(0, 0));
    Paint(frame);
    EXPECT_FALSE(PageUp(*model, frame));
}

TEST_F(GridViewLayoutTest, TheLastLineCanBeScrolledToTheTopAndFillsTheViewBack) {
    UseRows(std::vector<int>(20, 1));
    Paint(frame);
    ASSERT_TRUE(ScrollToEnd(*model, frame));
    EXPECT_EQ(Top(), std::make_pair(13, 0));
    Paint(frame);
    EXPECT_FALSE(ScrollToEnd(*model, frame));
    // A whole table in view: nothing to do.
    UseRows({1, 1});
    Paint(frame);
    EXPECT_FALSE(ScrollToEnd(*model, frame));
    EXPECT_FALSE(PageDown(*model, frame));
}

TEST_F(GridViewLayoutTest, ARowTallerThanTheViewScrollsThroughItsSubLines) {
    UseRows({1, 12, 1});
    Paint(frame);
    // Only the first row and six sub-lines of the tall one fit.
    ASSERT_TRUE(PageDown(*model, frame));
    EXPECT_EQ(Top(), std::make_pair(1, 5));
    const LastVisible last = FindLastFullyVisible(*model, 1, 5, frame.client);
    EXPECT_EQ(last.line, 1);
    EXPECT_EQ(last.sub_line, 11);
    EXPECT_EQ(last.bottom, 4 + 6 * 13 + 14);
}

TEST_F(GridViewLayoutTest, ThumbTrackingFindsTheSubLine) {
    UseRows({2, 3, 1, 4});
    EXPECT_TRUE(TrackVerticalThumb(*model, 6));
    EXPECT_EQ(Top(), std::make_pair(3, 0));
    EXPECT_TRUE(TrackVerticalThumb(*model, 3));
    EXPECT_EQ(Top(), std::make_pair(1, 1));
    model->ViewState().vertical_position = 3;
    EXPECT_FALSE(TrackVerticalThumb(*model, 3));
    // Past the end: the top stays, the view is still repainted.
    EXPECT_TRUE(TrackVerticalThumb(*model, 10));
    EXPECT_EQ(Top(), std::make_pair(1, 1));
}

TEST_F(GridViewLayoutTest, HorizontalScrollingStaysWithinTheTable) {
    UseRows({1});
    const int table = model->TableWidth();
    GridFrame narrow{PixelRect{0, 0, 60, 104}, 0};
    const int range = HorizontalRangeWidth(*model, narrow);
    EXPECT_EQ(range, 12 + table);
    EXPECT_FALSE(ScrollLeft(*model));
    int steps = 0;
    while (ScrollRight(*model, narrow)) ++steps;
    EXPECT_EQ(model->ViewState().horizontal_offset, 60 - range);
    EXPECT_EQ(steps, (range - 60 + 7) / 8);
    EXPECT_TRUE(ScrollLeft(*model));
    EXPECT_EQ(model->ViewState().horizontal_offset, 60 - range + 8);
    // The page-width mark widens the range to the printable width.
    GridFrame with_page{PixelRect{0, 0, 60, 104}, 700};
    EXPECT_EQ(HorizontalRangeWidth(*model, with_page), 712);
    EXPECT_TRUE(TrackHorizontalThumb(*model, 40));
    EXPECT_EQ(model->ViewState().horizontal_offset, -40);
    EXPECT_FALSE(TrackHorizontalThumb(*model, 40));
}

TEST_F(GridViewLayoutTest, HomeEndAndTheWheelReachBothEndsEachWay) {
    UseRows(std::vector<int>(20, 1));
    Paint(frame);
    GridFrame narrow{PixelRect{0, 0, 60, 104}, 0};
    const int range = HorizontalRangeWidth(*model, narrow);
    // End: as far right as the scroll bar goes; Home: back to the left end.
    EXPECT_TRUE(ScrollToRightEnd(*model, narrow));
    EXPECT_EQ(model->ViewState().horizontal_offset, 60 - range);
    EXPECT_FALSE(ScrollRight(*model, narrow));
    EXPECT_FALSE(ScrollToRightEnd(*model, narrow));
    EXPECT_TRUE(ScrollToLeftEnd(*model));
    EXPECT_EQ(model->ViewState().horizontal_offset, 0);
    EXPECT_FALSE(ScrollToLeftEnd(*model));
    // A window wider than the table has nowhere to go.
    EXPECT_FALSE(ScrollToRightEnd(*model, GridFrame{PixelRect{0, 0, 1000, 104}, 0}));
    // A wheel notch down is three lines; sideways three 8-pixel steps.
    EXPECT_TRUE(ScrollLines(*model, 3));
    EXPECT_EQ(Top(), std::make_pair(3, 0));
    EXPECT_TRUE(ScrollSideways(*model, narrow, 3));
    EXPECT_EQ(model->ViewState().horizontal_offset, -24);
    EXPECT_TRUE(ScrollSideways(*model, narrow, -3));
    EXPECT_EQ(model->ViewState().horizontal_offset, 0);
    EXPECT_FALSE(ScrollSideways(*model, narrow, -3));
    // Down stops once the end is in view (rows 13..19 fill the seven lines), up at the start.
    EXPECT_TRUE(ScrollLines(*model, 30));
    EXPECT_EQ(Top(), std::make_pair(13, 0));
    EXPECT_TRUE(ScrollLines(*model, -2));
    EXPECT_EQ(Top(), std::make_pair(11, 0));
    // Ctrl+Home: the first line, the sideways position kept.
    model->ViewState().horizontal_offset = -16;
    EXPECT_TRUE(ScrollToStart(*model));
    EXPECT_EQ(Top(), std::make_pair(0, 0));
    EXPECT_EQ(model->ViewState().horizontal_offset, -16);
    EXPECT_FALSE(ScrollToStart(*model));
    EXPECT_FALSE(ScrollLines(*model, -3));
}

TEST_F(GridViewLayoutTest, AWiderWindowBringsATableScrolledSidewaysBackInSteps) {
    UseRows({1, 1});
    const int table = model->TableWidth();
    model->ViewState().horizontal_offset = -50;
    // Steps of 8 while the window shows 8 pixels beyond the table's right end: -50 to -18.
    GridFrame wide{PixelRect{0, 0, 4 + table + 8 - 19, 104}, 0};
    FillView(*model, wide);
    EXPECT_EQ(model->ViewState().horizontal_offset, -18);
    GridFrame wider{PixelRect{0, 0, 1000, 104}, 0};
    FillView(*model, wider);
    EXPECT_EQ(model->ViewState().horizontal_offset, 0);
}

TEST_F(GridViewLayoutTest, RefreshingTheViewMendsATopThatNoLongerExists) {
    UseRows({1, 2, 1});
    model->ViewState().top_line = 9;
    model->ViewState().top_sub_line = 1;
    RefreshViewState(*model, frame);
    EXPECT_EQ(Top(), std::make_pair(0, 0));
    EXPECT_TRUE(model->IsLayoutDirty());
    model->ViewState().top_line = 2;
    model->ViewState().top_sub_line = 1;  // the last row has only one
    RefreshViewState(*model, frame);
    EXPECT_EQ(Top(), std::make_pair(0, 0));  // the whole table fits: filled back to the start
}

TEST_F(GridViewLayoutTest, LinesAreFoundUnderY) {
    UseRows({1, 2, 1, 1, 1, 1, 1});
    const PixelRect& client = frame.client;
    // Rows from y 4: 4..18, 18..45, 45..59, 59..73, 73..87, 87..101, 101..115.
    const std::pair<int, int> cases[] = {{0, -1}, {3, -1}, {4, 0}, {17, 0}, {18, 1}, {44, 1},
                                         {45, 2}, {100, 5}, {101, 6}, {103, 6}};
    for (const auto& [y, line] : cases) EXPECT_EQ(LineAtY(*model, y, client), line) << "y " << y;
    // Scrolled into the tall row: its second sub-line starts at the top band.
    model->ViewState().top_line = 1;
    model->ViewState().top_sub_line = 1;
    EXPECT_EQ(LineAtY(*model, 4, client), 1);
    EXPECT_EQ(LineAtY(*model, 18, client), 2);
    model->LayoutLines().MakeEmpty();
    EXPECT_EQ(LineAtY(*model, 20, client), -1);
}

TEST_F(GridViewLayoutTest, ColumnEdgesTitlesAndDropTargets) {
    const PixelRect& client = frame.client;
    // Left rule at 4; "No" 20 wide (2 * 6 + 8), then 32, 44, 32, rules of 1 between.
    ASSERT_EQ(model->Column(0)->width, 20);
    EXPECT_EQ(ColumnLeftX(*model, 0, client), 4);
    EXPECT_EQ(ColumnLeftX(*model, 1, client), 25);
    EXPECT_EQ(ColumnLeftX(*model, 2, client), 58);
    EXPECT_EQ(ColumnLeftX(*model, 4, client), -1);
    // The edge of column 0 is the rule at 25, hit from 23 to 27.
    const std::pair<int, int> edges[] = {{22, -1}, {23, 0}, {27, 0}, {28, -1}, {56, 1}, {60, 1}, {61, -1},
                                         {135, 3}, {139, -1}};
    for (const auto& [x, column] : edges) EXPECT_EQ(ColumnEdgeAtX(*model, x, client), column) << "x " << x;
    // Titles: inside a cell, not on a rule.
    const std::pair<int, int> titles[] = {{4, -1}, {5, 0}, {24, 0}, {25, -1}, {26, 1}, {58, -1}, {59, 2},
                                          {135, 3}, {136, -1}, {140, -1}};
    for (const auto& [x, column] : titles) EXPECT_EQ(ColumnAtTitleX(*model, x, client), column) << "x " << x;
    const std::pair<int, int> drops[] = {{3, -1}, {4, 0}, {24, 0}, {25, 1}, {100, 2}, {137, 3}, {500, 3}};
    for (const auto& [x, column] : drops) EXPECT_EQ(ColumnDropTarget(*model, x, client), column) << "x " << x;

    // A hidden column takes no room; scrolling shifts everything.
    const std::uint8_t visible[] = {1, 0, 1, 1};
    model->SetVisibility(visible, 4);
    model->ViewState().horizontal_offset = -10;
    EXPECT_EQ(ColumnLeftX(*model, 2, client), 15);
    EXPECT_EQ(ColumnEdgeAtX(*model, 15, client), 0);
    EXPECT_EQ(ColumnAtTitleX(*model, 20, client), 2);
    EXPECT_EQ(ColumnDropTarget(*model, 20, client), 2);
    EXPECT_EQ(ColumnDropTarget(*model, -7, client), -1);
}

TEST_F(GridViewLayoutTest, EveryColumnGroupGetsItsPageWidthMark) {
    // On paper "No" and "Name" share a sheet, "Amount" fills one alone, "Date" is the third.
    const int paper = PrintableWidthOnPaper(*model);
    const int print_widths[] = {paper / 4, paper / 4, paper, paper / 4};
    for (int i = 0; i < 4; ++i) model->MutableColumn(i)->print_width = print_widths[i];
    const PixelRect& client = frame.client;
    // Screen columns: left rules at 4, 25, 58 ("Amount", 44 wide) and 103 ("Date", 32 wide).
    // A sheet 70 screen pixels wide from each group's left rule: 74, 58 + 70, 103 + 70.
    EXPECT_EQ(PageWidthMarks(*model, client, 70), (std::vector<int>{74, 128, 173}));
    // Rounding that would put a mark outside the column that begins the next group is held to
    // that column: at most past "Amount"'s right rule less one, at least past its left rule.
    EXPECT_EQ(PageWidthMarks(*model, client, 100), (std::vector<int>{103, 136, 203}));
    EXPECT_EQ(PageWidthMarks(*model, client, 20), (std::vector<int>{59, 104, 123}));
    // "No" (21 on screen with its rule) repeats left of the later groups: their sheets hold
    // that much less of their own columns.
    PrintOptions keys;
    keys.key_columns = 1;
    model->SetPrintOptions(keys);
    EXPECT_EQ(PageWidthMarks(*model, client, 70), (std::vector<int>{74, 107, 152}));
    model->SetPrintOptions(PrintOptions{});
    // Hidden columns take no room: "No" and "Date" share the first sheet.
    const std::uint8_t visible[] = {1, 0, 0, 1};
    model->SetVisibility(visible, 4);
    EXPECT_EQ(PageWidthMarks(*model, client, 70), (std::vector<int>{74}));
}

TEST_F(GridViewLayoutTest, MovingAColumnShiftsTheOthersAndKeepsTheirWidths) {
    auto sources = [&] {
        std::vector<int> result;
        for (int i = 0; i < model->ColumnCount(); ++i) result.push_back(model->ColumnSource(i));
        return result;
    };
    model->SetModified(false);
    EXPECT_FALSE(MoveColumn(*model, 2, 2));
    EXPECT_FALSE(MoveColumn(*model, 0, 4));
    EXPECT_FALSE(model->IsModified());
    ASSERT_TRUE(MoveColumn(*model, 1, 3));
    EXPECT_EQ(sources(), (std::vector<int>{-1, 12, 13, 11}));
    EXPECT_EQ(model->Column(3)->width, 32);
    EXPECT_EQ(model->ColumnTitleText(3), "Name");
    // The layout file keeps the arrangement: a move alone is worth saving.
    EXPECT_TRUE(model->IsModified());
    ASSERT_TRUE(MoveColumn(*model, 3, 0));
    EXPECT_EQ(sources(), (std::vector<int>{11, -1, 12, 13}));
}

TEST_F(GridViewLayoutTest, ResizingKeepsThePrintWidthInProportion) {
    GridColumn& column = *model->MutableColumn(1);
    column.natural_width = 40;
    column.print_natural_width = 130;
    column.width = 40;
    model->UpdateTableWidth();
    model->SetModified(false);
    const int table = model->TableWidth();
    ResizeColumn(*model, 1, 20);
    EXPECT_EQ(model->Column(1)->width, 60);
    EXPECT_EQ(model->Column(1)->print_width, 195);  // 130 * 60 / 40
    EXPECT_TRUE(model->IsModified());
    EXPECT_EQ(model->TableWidth(), table + 20);
    ResizeColumn(*model, 1, -47);
    EXPECT_EQ(model->Column(1)->print_width, 42);  // 130 * 13 / 40 = 42.25
}

TEST_F(GridViewLayoutTest, ResizingAColumnWithoutNaturalWidthScalesByPixelsPerInch) {
    GridColumn& column = *model->MutableColumn(2);
    ASSERT_EQ(column.natural_width, 0);  // widened to its title only
    ResizeColumn(*model, 2, 16);
    EXPECT_EQ(model->Column(2)->width, 60);
    EXPECT_EQ(model->Column(2)->print_width, 188);  // 60 * 300 / 96 = 187.5
}

int WrappingText(void*, int, int column_identifier, char* buffer, int) {
    if (column_identifier != 11) return 0;
    std::memcpy(buffer, "aaa bbb ccc", 11);
    return 11;
}

TEST_F(GridViewLayoutTest, ResizingAFlowingColumnLaysTheRowsOutAgain) {
    GridColumnInfo info;
    model->GetColumnInfo(1, info);
    info.flags |= ColumnFlags::TextFlow;
    model->SetColumnInfo(1, info);
    model->SetCellTextSource(&WrappingText, nullptr);
    GridColumn& column = *model->MutableColumn(1);
    column.natural_width = 32;
    column.print_natural_width = 27 + 75 + 25;  // the inset and margin, then "aaa" on paper
    model->SetRowCount(1);
    ASSERT_EQ(model->Line(2).kind, LineKind::DataRow);
    EXPECT_EQ(model->Line(2).height, 3);  // one word a line
    // Three times as wide: the whole text on one line.
    ResizeColumn(*model, 1, 64);
    EXPECT_EQ(model->Line(2).height, 1);
    EXPECT_EQ(model->ViewState().total_text_lines, 3);

    // A column that does not flow, but whose title wraps: the title band follows its width.
    GridColumnInfo date;
    model->GetColumnInfo(3, date);
    std::strcpy(date.title, "Due date");
    model->SetColumnInfo(3, date);
    ASSERT_EQ(model->Line(0).kind, LineKind::Titles);
    EXPECT_EQ(model->Line(0).height, 2);  // 102 pixels for the title on paper: "Due" / "date"
    ResizeColumn(*model, 3, 40);          // 200 pixels
    EXPECT_EQ(model->Line(0).height, 1);
    ResizeColumn(*model, 3, -30);         // 106 pixels
    EXPECT_EQ(model->Line(0).height, 2);
}

}  // namespace
