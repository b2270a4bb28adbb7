// Tests of the grid's pagination on fake devices: line heights, page tops and bottoms, page
// breaks, and how every table flag and page-number position shapes the pages.
#include "grid/grid_layout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_measuring_device.h"
#include "grid/column_groups.h"
#include "grid/sort_filter.h"
#include "grid/sum_lines.h"

namespace {

std::map<std::pair<int, int>, std::string> g_cells;
PrintSettings g_settings;

int TestCellText(void*, int row_key, int column_identifier, char* buffer, int buffer_size) {
    const auto found = g_cells.find({row_key, column_identifier});
    if (found == g_cells.end()) return 0;
    const int length = std::min(static_cast<int>(found->second.size()), buffer_size);
    std::memcpy(buffer, found->second.data(), static_cast<std::size_t>(length));
    return length;
}

PrintSettings CurrentSettings(void*) { return g_settings; }

// A4 on a printer of 254 pixels per inch (a pixel is 0.1 mm) whose bottom margin leaves
// `available` pixels for the table.
PrintSettings PageHolding(int available) {
    PrintSettings settings = BuiltInPrintSettings();
    settings.bottom_margin = settings.paper_height - available * 10;
    return settings;
}

// The layout in one line: each line is a kind letter (R data row, T titles, C column numbers,
// H header, F footer, D date, P page number, B blank, | page break), its key where the kind has
// one (any other non-zero key too), "a" for RuleAbove, "b" for RuleBelow and "xN" when it is N
// text lines high. Sum lines show their texts instead of a key: G group (its label in
// parentheses), S page total, K carried, W brought forward, E end total, each with the sums of
// the summed columns in brackets; N the note, its text in parentheses.
std::string SumLineToken(const GridModel& model, const LayoutLine& line) {
    static const char kLetters[] = "GSKWEN";
    std::string token(1, kLetters[line.kind - LineKind::GroupTotal]);
    char text[kCellTextLimit + 1];
    if (line.kind == LineKind::GroupTotal || line.kind == LineKind::SumNote) {
        SumLineLabel(model, line, text);
        token += "(" + std::string(text) + ")";
    }
    if (line.kind == LineKind::SumNote) return token;
    std::string sums;
    for (int i = 0; i < model.ColumnCount(); ++i) {
        if (!(model.Column(i)->flags & ColumnFlags::Sum)) continue;
        SumLineCellText(model, line, i, text);
        sums += (sums.empty() ? "" : "/") + std::string(text);
    }
    return token + "[" + sums + "]";
}

std::string Describe(const GridModel& model) {
    std::string text;
    for (int i = 0; i < model.LineCount(); ++i) {
        const LayoutLine line = model.Line(i);
        std::string token;
        if (IsSumLine(line.kind)) token = SumLineToken(model, line);
        switch (line.kind) {
            case LineKind::DataRow: token = "R"; break;
            case LineKind::Titles: token = "T"; break;
            case LineKind::ColumnNumbers: token = "C"; break;
            case LineKind::Header: token = "H"; break;
            case LineKind::Footer: token = "F"; break;
            case LineKind::DateLine: token = "D"; break;
            case LineKind::PageNumber: token = "P"; break;
            case LineKind::Blank: token = "B"; break;
            case LineKind::PageBreak: token = "|"; break;
            default:
                if (token.empty()) token = "?" + std::to_string(line.kind);
                break;
        }
        if (line.kind == LineKind::DataRow || line.kind == LineKind::PageNumber || (line.key != 0 && !IsSumLine(line.kind))) {
            token += std::to_string(line.key);
        }
        if (line.flags & LineFlags::RuleAbove) token += "a";
        if (line.flags & LineFlags::RuleBelow) token += "b";
        if (line.flags & ~(LineFlags::RuleAbove | LineFlags::RuleBelow)) token += "!";
        if (line.height != 1) token += "x" + std::to_string(line.height);
        if (!text.empty()) text += " ";
        text += token;
    }
    return text;
}

class PaginationTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_cells.clear();
        g_settings = PageHolding(60);
        model = std::make_unique<GridModel>(GridEnvironment{&screen, &print, &pictures, &CurrentSettings});
        model->SetCellTextSource(&TestCellText, nullptr);
        model->AddColumn(11, "A");
    }

    // Lays out `rows` rows with the given flags and page-number position on a page of
    // `available` pixels.
    void Lay(int rows, std::uint32_t flags, std::uint8_t position, int available = 60) {
        g_settings = PageHolding(available);
        TableStyle style = model->GetTableStyle();
        style.flags = flags;
        style.page_number_position = position;
        model->SetTableStyle(style);
        model->SetRowCount(rows);
    }

    // Every data row is numbered by its place in the list; no other line has an ordinal.
    void ExpectOrdinalsInListOrder() {
        std::uint32_t next = 1;
        for (int i = 0; i < model->LineCount(); ++i) {
            const LayoutLine line = model->Line(i);
            const std::uint32_t ordinal = line.ordinal;  // a packed field: copied, not bound
            EXPECT_EQ(ordinal, line.kind == LineKind::DataRow ? next++ : 0u) << "line " << i;
        }
    }

    int TotalHeight() const {
        int total = 0;
        for (int i = 0; i < model->LineCount(); ++i) total += model->Line(i).height;
        return total;
    }

    // The printer: a text line is 10 pixels high, a byte 2 wide ("i", space 1, Cyrillic 4).
    FakeMeasuringDevice screen{6, 13, 96};
    FakeMeasuringDevice print{2, 10, 254};
    FakePictureSizes pictures;
    std::unique_ptr<GridModel> model;
};

constexpr std::uint32_t kDefaultFlags = TableFlags::ColNumbers | TableFlags::HorzLines;

// Line heights in printer pixels on a page of 60: data row 10 (+1 per rule), titles 12, column
// numbers 11 (12 with the rule above), page number, blank, header, footer and date 10 each.
struct PageCase {
    const char* name;
    std::uint32_t flags;
    std::uint8_t position;
    const char* pages;
};

TEST_F(PaginationTest, EveryTableFlagShapesThePages) {
    const PageCase cases[] = {
        {"defaults", kDefaultFlags, PageNumberPosition::TopRight,
         "H T Cb R0b R1b | P2 B Cab R2b R3b | P3 B Cab R4b F"},
        // Without rules between rows only each page's last row has one.
        {"no HorzLines", TableFlags::ColNumbers, PageNumberPosition::TopRight,
         "H T Cb R0 R1b | P2 B Cab R2 R3b | P3 B Cab R4b F"},
        // Without column numbers a later page's first row carries the rule above.
        {"no ColNumbers", TableFlags::HorzLines, PageNumberPosition::TopRight,
         "H T R0b R1b R2b | P2 B R3ab R4b F"},
        {"no flags", 0, PageNumberPosition::TopRight, "H T R0 R1 R2b | P2 B R3a R4b F"},
        // Titles repeat; the column numbers under them then need no rule above.
        {"PageColTitles", kDefaultFlags | TableFlags::PageColTitles, PageNumberPosition::TopRight,
         "H T Cb R0b R1b | P2 B T Cb R2b | P3 B T Cb R3b | P4 B T Cb R4b F"},
        {"PageHeader", kDefaultFlags | TableFlags::PageHeader, PageNumberPosition::TopRight,
         "H T Cb R0b R1b | P2 B H Cab R2b | P3 B H Cab R3b | P4 B H Cab R4b F"},
        // The footer on every page pushes a row that would share the page with it onward.
        {"PageFooter", kDefaultFlags | TableFlags::PageFooter, PageNumberPosition::TopRight,
         "H T Cb R0b F | P2 B Cab R1b F | P3 B Cab R2b F | P4 B Cab R3b F | P5 B Cab R4b F"},
        // Without PageFooter the date takes room on every page but stays on the last only.
        {"PageDate", kDefaultFlags | TableFlags::PageDate, PageNumberPosition::TopRight,
         "H T Cb R0b | P2 B Cab R1b | P3 B Cab R2b | P4 B Cab R3b | P5 B Cab R4b F D"},
        {"PageDate and PageFooter", kDefaultFlags | TableFlags::PageDate | TableFlags::PageFooter,
         PageNumberPosition::TopRight,
         "H T Cb R0b F D | P2 B Cab R1b F D | P3 B Cab R2b F D | P4 B Cab R3b F D | P5 B Cab R4b F D"},
        {"PageColNumbers", kDefaultFlags | TableFlags::PageColNumbers, PageNumberPosition::TopRight,
         "P1 B H T Cb R0b | P2 B Cab R1b R2b | P3 B Cab R3b | P4 B Cab R4b F"},
    };
    for (const PageCase& c : cases) {
        SetUp();
        model->SetHeaderText("Head");
        model->SetFooterText("Foot");
        Lay(5, c.flags, c.position);
        EXPECT_EQ(Describe(*model), c.pages) << c.name;
        ExpectOrdinalsInListOrder();
        EXPECT_EQ(model->ViewState().total_text_lines, TotalHeight()) << c.name;
    }
}

TEST_F(PaginationTest, EveryPageNumberPositionShapesThePages) {
    const char* const none = "H T Cb R0b R1b | Cab R2b R3b R4b F";
    const char* const top = "H T Cb R0b R1b | P2 B Cab R2b R3b | P3 B Cab R4b F";
    // Bottom numbers take room on every page but, without PageFooter, only the last keeps them.
    const char* const bottom = "H T Cb R0b R1b | Cab R2b | Cab R3b | Cab R4b F B P4";
    const PageCase cases[] = {
        {"None", kDefaultFlags, PageNumberPosition::None, none},
        {"Top Left", kDefaultFlags, PageNumberPosition::TopLeft, top},
        {"Top Center", kDefaultFlags, PageNumberPosition::TopCenter, top},
        {"Top Right", kDefaultFlags, PageNumberPosition::TopRight, top},
        {"Bottom Left", kDefaultFlags, PageNumberPosition::BottomLeft, bottom},
        {"Bottom Center", kDefaultFlags, PageNumberPosition::BottomCenter, bottom},
        {"Bottom Right", kDefaultFlags, PageNumberPosition::BottomRight, bottom},
        // A value no dialog offers shows no numbers.
        {"7", kDefaultFlags, 7, none},
        {"Bottom with PageFooter and PageColNumbers",
         kDefaultFlags | TableFlags::PageFooter | TableFlags::PageColNumbers, PageNumberPosition::BottomCenter,
         "H T Cb R0b F B P1 | Cab R1b F B P2 | Cab R2b F B P3 | Cab R3b F B P4 | Cab R4b F B P5"},
    };
    for (const PageCase& c : cases) {
        SetUp();
        model->SetHeaderText("Head");
        model->SetFooterText("Foot");
        Lay(5, c.flags, c.position);
        EXPECT_EQ(Describe(*model), c.pages) << c.name;
    }
}

TEST_F(PaginationTest, TheFirstPageShowsItsNumberOnlyWithPageColNumbers) {
    model->SetFooterText("Foot");
    Lay(2, kDefaultFlags, PageNumberPosition::BottomLeft, 1000);
    EXPECT_EQ(Describe(*model), "T Cb R0b R1b F");
    Lay(2, kDefaultFlags | TableFlags::PageColNumbers, PageNumberPosition::BottomLeft, 1000);
    EXPECT_EQ(Describe(*model), "T Cb R0b R1b F B P1");
    Lay(2, kDefaultFlags | TableFlags::PageColNumbers, PageNumberPosition::TopCenter, 1000);
    EXPECT_EQ(Describe(*model), "P1 B T Cb R0b R1b F");
}

TEST_F(PaginationTest, PagesBreakAtTheLastRowThatFits) {
    // Ten rows of 11 pixels under titles and numbers of 23 (first page) or 12 (later pages).
    Lay(10, kDefaultFlags, PageNumberPosition::None, 56);
    EXPECT_EQ(Describe(*model), "T Cb R0b R1b R2b | Cab R3b R4b R5b R6b | Cab R7b R8b R9b");
    // One pixel less and the third row no longer fits the first page.
    Lay(10, kDefaultFlags, PageNumberPosition::None, 55);
    EXPECT_EQ(Describe(*model), "T Cb R0b R1b | Cab R2b R3b R4b | Cab R5b R6b R7b | Cab R8b R9b");
    // A page too small for anything still takes one row.
    Lay(3, kDefaultFlags, PageNumberPosition::None, 5);
    EXPECT_EQ(Describe(*model), "T Cb R0b | Cab R1b | Cab R2b");
}

TEST_F(PaginationTest, PagesOfOneRowEachKeepEveryRowInPlaceAndOrder) {
    // Five lines of the page around every row: far more than the room kept beside the rows,
    // so the list grows while the rows move up into their pages.
    Lay(40, kDefaultFlags | TableFlags::PageColTitles | TableFlags::PageColNumbers, PageNumberPosition::TopRight, 5);
    std::string expected;
    for (int row = 0; row < 40; ++row) {
        if (row > 0) expected += " | ";
        expected += "P" + std::to_string(row + 1) + " B T Cb R" + std::to_string(row) + "b";
    }
    EXPECT_EQ(Describe(*model), expected);
    EXPECT_EQ(model->PageCount(), 40);
    ExpectOrdinalsInListOrder();
    // Laid out again from its own pages, then as one page: the rows alone are left to place.
    g_settings = PageHolding(100000);
    TableStyle style = model->GetTableStyle();
    style.flags = kDefaultFlags;
    style.page_number_position = PageNumberPosition::None;
    model->SetTableStyle(style);
    model->RebuildLayout();
    std::string one_page = "T Cb";
    for (int row = 0; row < 40; ++row) one_page += " R" + std::to_string(row) + "b";
    EXPECT_EQ(Describe(*model), one_page);
    EXPECT_EQ(model->PageCount(), 1);
}

TEST_F(PaginationTest, AFittedTableTakesMoreRowsOnAPageAndCountsItsPages) {
    Lay(10, kDefaultFlags, PageNumberPosition::None, 56);
    EXPECT_EQ(model->PageCount(), 3);
    // Columns twice as wide as the sheet (rules included) print at half size: the page holds
    // twice the pixels, 112.
    const int sheet = PrintableWidthOnPaper(*model);
    model->MutableColumn(0)->print_width = sheet;
    model->MutableColumn(1)->print_width = sheet - 3;
    PrintOptions options;
    options.fit_to_width = 1;
    model->SetPrintOptions(options);
    EXPECT_EQ(Describe(*model), "T Cb R0b R1b R2b R3b R4b R5b R6b R7b | Cab R8b R9b");
    EXPECT_EQ(model->PageCount(), 2);
    // Without rows there are no pages.
    model->SetRowCount(0);
    EXPECT_EQ(model->PageCount(), 0);
}

TEST_F(PaginationTest, ARowTallerThanThePageFormsAPageOfItsOwn) {
    GridColumnInfo info;
    model->GetColumnInfo(1, info);
    info.flags |= ColumnFlags::TextFlow;
    model->SetColumnInfo(1, info);
    model->MutableColumn(1)->print_width = 4 + 7;  // wraps at 7 pixels: one three-letter word a line
    g_cells[{1, 11}] = "aaa bbb ccc ddd eee fff ggg hhh";
    Lay(3, kDefaultFlags, PageNumberPosition::None, 60);
    EXPECT_EQ(Describe(*model), "T Cb R0b | Cab R1bx8 | Cab R2b");
}

TEST_F(PaginationTest, TheLastRowOfEveryPageHasARuleBelowWithoutHorzLines) {
    Lay(7, TableFlags::ColNumbers, PageNumberPosition::None, 45);
    // 23 + 10 + 10 fits the first page; later pages take 12 + three rows of 10.
    EXPECT_EQ(Describe(*model), "T Cb R0 R1b | Cab R2 R3 R4b | Cab R5 R6b");
}

TEST_F(PaginationTest, LineHeightsFollowCellsTitlesHeaderAndFooter) {
    const char* const titles[] = {"aaa bbb ccc", "B", "C", "D", "aaa bbb ccc ddd eee fff"};
    for (int i = 0; i < 5; ++i) model->AddColumn(12 + i, titles[i]);
    auto set = [&](int column, std::uint32_t flags, int max_lines, int type) {
        GridColumnInfo info;
        model->GetColumnInfo(column, info);
        info.flags = flags;
        info.max_lines = static_cast<std::uint32_t>(max_lines);
        info.type = static_cast<std::uint32_t>(type);
        model->SetColumnInfo(column, info);
        // The print inset is 2 ("o"), so cells and titles wrap at 13: "aaa bbb" fits, not more.
        model->MutableColumn(column)->print_width = 17;
    };
    const std::uint32_t visible = ColumnFlags::Visible;
    set(2, visible | ColumnFlags::TextFlow, 0, ColumnType::Text);
    set(3, visible | ColumnFlags::TextFlow, 2, ColumnType::Text);
    set(4, visible | ColumnFlags::TextFlow | ColumnFlags::Abbreviate, 0, ColumnType::Text);
    set(5, visible, 0, ColumnType::Picture);
    set(6, ColumnFlags::TextFlow, 0, ColumnType::Text);  // hidden
    model->SetHeaderText("Head\r\nline 2");
    model->SetFooterText("a\rb\r\nc");
    pictures.sizes["tall.bmp"] = PictureSize{10, 30};    // over two screen text lines of 13
    pictures.sizes["small.bmp"] = PictureSize{40, 13};   // exactly one
    g_cells[{0, 12}] = "aaa bbb ccc ddd";
    g_cells[{1, 13}] = "aaa bbb ccc ddd eee fff ggg";  // four lines, limited to two
    g_cells[{2, 14}] = "aaa bbb ccc ddd eee fff ggg";  // abbreviated columns never wrap
    g_cells[{3, 15}] = "tall.bmp";
    g_cells[{4, 15}] = "missing.bmp";
    g_cells[{5, 16}] = "aaa bbb ccc ddd eee fff ggg";  // hidden column
    g_cells[{7, 12}] = "aaa bbb ccc ddd eee";
    g_cells[{7, 15}] = "small.bmp";
    g_cells[{8, 12}] = "   ";
    g_cells[{8, 14}] = "tall.bmp";  // a picture name in a text column is text
    Lay(9, kDefaultFlags, PageNumberPosition::None, 1000);
    EXPECT_EQ(Describe(*model), "Hx2 Tx2 Cb R0bx2 R1bx2 R2b R3bx3 R4b R5b R6b R7bx3 R8b Fx3");
    EXPECT_EQ(model->ViewState().total_text_lines, 2 + 2 + 1 + 2 + 2 + 1 + 3 + 1 + 1 + 1 + 3 + 1 + 3);

    // With the wrapping columns hidden (the long title among them), the pictures alone still make
    // their rows taller.
    set(2, ColumnFlags::TextFlow, 0, ColumnType::Text);
    set(3, ColumnFlags::TextFlow, 2, ColumnType::Text);
    model->RebuildLayout();
    EXPECT_EQ(Describe(*model), "Hx2 T Cb R0b R1b R2b R3bx3 R4b R5b R6b R7b R8b Fx3");
    set(2, visible | ColumnFlags::TextFlow, 0, ColumnType::Text);
    set(3, visible | ColumnFlags::TextFlow, 2, ColumnType::Text);

    // Without a cell text source every row is one line high.
    model->SetCellTextSource(nullptr, nullptr);
    model->RebuildLayout();
    EXPECT_EQ(Describe(*model), "Hx2 Tx2 Cb R0b R1b R2b R3b R4b R5b R6b R7b R8b Fx3");
}

TEST_F(PaginationTest, BoldFlowingCellsAreCountedInTheBoldFontTheyPrintIn) {
    GridColumnInfo info;
    model->GetColumnInfo(1, info);
    info.flags = ColumnFlags::Visible | ColumnFlags::TextFlow;
    model->SetColumnInfo(1, info);
    model->MutableColumn(1)->print_width = 17;  // wraps at 13: "aaa bbb" plain, "aaa" bold
    g_cells[{0, 11}] = "aaa bbb ccc ddd";
    Lay(1, kDefaultFlags, PageNumberPosition::None, 1000);
    EXPECT_EQ(Describe(*model), "T Cb R0bx2");
    info.flags |= ColumnFlags::Bold;
    model->SetColumnInfo(1, info);
    model->RebuildLayout();
    EXPECT_EQ(Describe(*model), "T Cb R0bx4");
}

TEST_F(PaginationTest, RebuildingStartsAgainFromTheDataRowsInTheirOrder) {
    g_settings = PageHolding(54);
    model->Reformat();
    model->SetRowCount(6);
    // As sorting leaves them: the rows in another order, stale flags and heights.
    for (int i = 0; i < model->LineCount(); ++i) {
        LayoutLine line = model->Line(i);
        if (line.kind != LineKind::DataRow) continue;
        line.key = 5 - line.key;
        line.flags = LineFlags::RuleAbove;
        line.height = 9;
        std::memcpy(model->LayoutLines().Data() + static_cast<std::size_t>(i) * sizeof line, &line, sizeof line);
    }
    model->RebuildLayout();
    const std::string once = Describe(*model);
    EXPECT_EQ(once, "T Cb R5b R4b | P2 B Cab R3b R2b | P3 B Cab R1b R0b");
    ExpectOrdinalsInListOrder();
    model->RebuildLayout();
    EXPECT_EQ(Describe(*model), once);
    // A style change lays the same rows out again, on the page the settings now give.
    g_settings = PageHolding(45);
    TableStyle style = model->GetTableStyle();
    style.page_number_position = PageNumberPosition::None;
    model->SetTableStyle(style);
    EXPECT_EQ(Describe(*model), "T Cb R5b R4b | Cab R3b R2b R1b | Cab R0b");
    ExpectOrdinalsInListOrder();
}

// --- Sum lines ------------------------------------------------------------------------------

// Column 12 summed beside column 11; `amounts` are its cells, row by row.
void SumColumn(GridModel& model, const std::vector<const char*>& amounts) {
    model.AddColumn(12, "Сума");
    GridColumnInfo info;
    model.GetColumnInfo(2, info);
    info.flags |= ColumnFlags::Sum;
    info.alignment = kAlignRight;
    model.SetColumnInfo(2, info);
    for (std::size_t row = 0; row < amounts.size(); ++row) g_cells[{static_cast<int>(row), 12}] = amounts[row];
}

void PlaceSums(GridModel& model, std::uint8_t placement) {
    PrintOptions options = model.GetPrintOptions();
    options.sum_lines = placement;
    model.SetPrintOptions(options);
}

// A sum line is as high as a data row with a rule below: 11 pixels on a page of 60.
struct SumCase {
    const char* name;
    std::vector<const char*> amounts;
    std::uint8_t placement;
    std::uint32_t flags;
    const char* pages;
};

TEST_F(PaginationTest, SumLinesTakeTheirPlacesAndAddUpTheRowsOfEachPage) {
    const std::vector<const char*> five = {"1", "2", "3", "4", "5"};
    const SumCase cases[] = {
        // The end total pushes the last row, which it would not fit under, to a page of its own.
        {"end total", five, 0, kDefaultFlags, "T Cb R0b R1b R2b | P2 B Cab R3b | P3 B Cab R4b E[15]b"},
        {"no sum lines at all", five, SumPlacement::NoEndTotal, kDefaultFlags,
         "T Cb R0b R1b R2b | P2 B Cab R3b R4b"},
        // Two foot lines on every page but the last: rows move on to make room.
        {"page totals", five, SumPlacement::PageTotals | SumPlacement::NoEndTotal, kDefaultFlags,
         "T Cb R0b S[1]b K[1]b | P2 B Cab R1b S[2]b K[3]b | P3 B Cab R2b S[3]b K[6]b | "
         "P4 B Cab R3b S[4]b K[10]b | P5 B Cab R4b S[5]b"},
        {"page totals and end total", five, SumPlacement::PageTotals, 0,
         "T R0 R1b S[3]b K[3]b | P2 B R2ab S[3]b K[6]b | P3 B R3ab S[4]b K[10]b | P4 B R4ab S[5]b E[15]b"},
        // Brought forward heads every later page, under the page number; the row under it needs
        // no rule of its own.
        {"brought forward", five, SumPlacement::BroughtForward, 0,
         "T R0 R1 R2 R3b | P2 B W[10]ab R4b E[15]b"},
        {"all three", five, SumPlacement::PageTotals | SumPlacement::BroughtForward, 0,
         "T R0 R1b S[3]b K[3]b | P2 B W[3]ab R2b S[3]b K[6]b | P3 B W[6]ab R3b S[4]b K[10]b | "
         "P4 B W[10]ab R4b S[5]b E[15]b"},
        // The end total does not fit under a fourth row of the first page.
        {"negative and mixed decimals", {"-1 234,5", "12,25", "0,1", "-0,2"}, 0, 0,
         "T R0 R1 R2b | P2 B R3ab E[-1 222,35]b"},
        {"exact tenths", {"0,10", "0,2"}, 0, 0, "T R0 R1b E[0,30]b"},
        {"four digits written ungrouped", {"1234", "1"}, 0, 0, "T R0 R1b E[1235]b"},
        {"a dot as the decimal mark", {"1.5", "2.25"}, 0, 0, "T R0 R1b E[3.75]b"},
        {"whole numbers", {"3", "4"}, 0, 0, "T R0 R1b E[7]b"},
        {"grouped digits", {"1 234,50", "12,5"}, 0, 0, "T R0 R1b E[1 247,00]b"},
        // Cells that are no amounts are counted under the total; empty ones are not.
        {"one not a number", {"5", "abc", "", "7 лв."}, 0, 0, "T R0 R1 R2b | P2 B R3ab E[12]b N(1 стойност не е число)"},
        {"past 64 bits", {"9223372036854775807", "9223372036854775808", "x", "9223372036854775807"}, 0, 0,
         "T R0 R1 R2b | P2 B R3ab E[18446744073709551614]b N(2 стойности не са числа)"},
        {"no note without the end total", {"5", "abc"}, SumPlacement::NoEndTotal, 0, "T R0 R1b"},
        // A single row on its page gets the foot lines all the same.
        {"single row", {"8"}, SumPlacement::PageTotals, kDefaultFlags, "T Cb R0b S[8]b E[8]b"},
    };
    for (const SumCase& c : cases) {
        SetUp();
        SumColumn(*model, c.amounts);
        PlaceSums(*model, c.placement);
        Lay(static_cast<int>(c.amounts.size()), c.flags, PageNumberPosition::TopRight);
        EXPECT_EQ(Describe(*model), c.pages) << c.name;
        ExpectOrdinalsInListOrder();
        EXPECT_EQ(model->ViewState().total_text_lines, TotalHeight()) << c.name;
    }
}

TEST_F(PaginationTest, SumLinesRespectTheFooterAndThePageBottoms) {
    SumColumn(*model, {"1", "2", "3", "4"});
    PlaceSums(*model, SumPlacement::PageTotals);
    model->SetFooterText("Foot");
    // Without PageFooter the page bottoms go and the sums stay; the last page ends with its
    // footer and number.
    Lay(4, 0, PageNumberPosition::BottomCenter, 60);
    EXPECT_EQ(Describe(*model), "T R0 R1b S[3]b K[3]b | R2ab S[3]b K[6]b | R3ab S[4]b E[10]b F B P3");
    // The footer on every page pushes rows on.
    Lay(4, TableFlags::PageFooter, PageNumberPosition::None, 60);
    EXPECT_EQ(Describe(*model), "T R0b S[1]b K[1]b F | R1a R2b S[5]b K[6]b F | R3ab S[4]b E[10]b F");
}

TEST_F(PaginationTest, GroupTotalsFollowEachRunOfTheSortedColumnAndStayWithTheirRow) {
    const char* const cities[] = {"Варна", "София", "варна", "Бургас", "София", "Варна"};
    for (int row = 0; row < 6; ++row) g_cells[{row, 11}] = cities[row];
    SumColumn(*model, {"10", "1", "20", "5", "2", "30"});
    PlaceSums(*model, SumPlacement::GroupTotals);
    Lay(6, 0, PageNumberPosition::None, 200);
    // Not sorted: no groups.
    EXPECT_EQ(Describe(*model), "T R0 R1 R2 R3 R4 R5b E[68]b");
    SortRequest request;
    request.column = 1;
    request.data_type = KeyType::Alphabetical;  // "варна" and "Варна" are one key
    SortRows(*model, request);
    EXPECT_EQ(Describe(*model),
              "T R3b G(Бургас)[5]b R0 R2 R5b G(Варна)[60]b R1 R4b G(София)[3]b E[68]b");
    // As text the cases differ; descending puts them the other way.
    request.data_type = KeyType::Text;
    request.direction = SortDirection::Descending;
    SortRows(*model, request);
    EXPECT_EQ(Describe(*model),
              "T R2b G(варна)[20]b R1 R4b G(София)[3]b R0 R5b G(Варна)[40]b R3b G(Бургас)[5]b E[68]b");
    // A group line never starts a page away from its group's last row: the row goes with it
    // (R5 to page 3, R3 to page 4 for the end total), while a group may begin a page before.
    g_settings = PageHolding(45);
    model->Reformat();
    EXPECT_EQ(Describe(*model), "T R2b G(варна)[20]b R1b | R4ab G(София)[3]b R0b | R5ab G(Варна)[40]b | "
                                "R3ab G(Бургас)[5]b E[68]b");
    // Back to the stored order: the groups go.
    RestoreRows(*model);
    EXPECT_EQ(Describe(*model), "T R0 R1 R2b | R3a R4 R5b E[68]b");
}

TEST_F(PaginationTest, APagesMiddleRowsAreHeldAsOneEntryAndGiveTheSameLinesWrittenOut) {
    // 3000 rows on pages of 20: a handful of entries a page rather than a line a row, in the
    // stored order, sorted with group totals and page sums, and filtered.
    std::vector<std::string> amounts;
    for (int row = 0; row < 3000; ++row) {
        g_cells[{row, 11}] = std::string(1, static_cast<char>('a' + row % 7));
        amounts.push_back(std::to_string(row % 13));
    }
    std::vector<const char*> amount_texts;
    for (const std::string& amount : amounts) amount_texts.push_back(amount.c_str());
    auto expect_compact_and_same = [this](const char* step, int rows) {
        SCOPED_TRACE(step);
        const std::string described = Describe(*model);
        const int lines = model->LineCount();
        const int entries = std::as_const(*model).LayoutLines().Size() / static_cast<int>(sizeof(LayoutLine));
        EXPECT_GT(lines, rows);
        EXPECT_LT(entries, 12 * model->PageCount());
        ExpectOrdinalsInListOrder();
        // Written out line by line (the list a caller editing lines gets), nothing changes.
        EXPECT_EQ(model->LayoutLines().Size(), lines * static_cast<int>(sizeof(LayoutLine)));
        EXPECT_EQ(model->LineCount(), lines);
        EXPECT_EQ(Describe(*model), described);
    };
    Lay(3000, kDefaultFlags | TableFlags::PageColTitles, PageNumberPosition::TopRight, 250);
    // With a rule under every row and titles on every page, a page is its page number, blank,
    // titles and column numbers, one run of all its rows and a page break: 6 entries (the first
    // page has no number, the last no break).
    EXPECT_EQ(model->PageCount(), 167);
    EXPECT_EQ(std::as_const(*model).LayoutLines().Size() / static_cast<int>(sizeof(LayoutLine)), 999);
    expect_compact_and_same("stored order", 3000);
    SumColumn(*model, amount_texts);
    PlaceSums(*model, SumPlacement::GroupTotals | SumPlacement::PageTotals | SumPlacement::BroughtForward);
    SortRequest request;
    request.column = 1;
    SortRows(*model, request);
    expect_compact_and_same("sorted, with sums", 3000);
    FilterRequest filter{};
    filter.column = 1;
    std::snprintf(filter.from, sizeof filter.from, "b");
    std::snprintf(filter.to, sizeof filter.to, "c");
    ASSERT_TRUE(FilterRows(*model, filter));
    expect_compact_and_same("filtered", 858);
    int kept = 0;
    for (int i = 0; i < model->LineCount(); ++i) {
        const LayoutLine line = model->Line(i);
        if (line.kind != LineKind::DataRow) continue;
        ++kept;
        EXPECT_TRUE(line.key % 7 == 1 || line.key % 7 == 2) << line.key;  // "b" and "c" alone
    }
    EXPECT_EQ(kept, 858);
}

// A Sum flag where no amounts stand (a hand-edited layout file may put one anywhere) adds nothing.
TEST_F(PaginationTest, OnlyVisibleTableColumnsAreSummed) {
    g_cells[{0, 11}] = "5";
    const struct {
        const char* name;
        int column;
        std::uint32_t flags;
        std::int32_t type;
        const char* pages;
    } cases[] = {
        {"the row numbers", 0, ColumnFlags::Visible | ColumnFlags::Sum, ColumnType::Number, "T Cb R0b"},
        {"a picture column", 1, ColumnFlags::Visible | ColumnFlags::Sum, ColumnType::Picture, "T Cb R0b"},
        {"a hidden column", 1, ColumnFlags::Sum, ColumnType::Text, "T Cb R0b"},
        {"a shown text column", 1, ColumnFlags::Visible | ColumnFlags::Sum, ColumnType::Text, "T Cb R0b E[5]b"},
    };
    for (const auto& c : cases) {
        SetUp();
        g_cells[{0, 11}] = "5";
        GridColumnInfo info;
        model->GetColumnInfo(c.column, info);
        info.flags = c.flags;
        info.type = static_cast<std::uint32_t>(c.type);
        model->SetColumnInfo(c.column, info);
        Lay(1, kDefaultFlags, PageNumberPosition::None);
        EXPECT_EQ(HasSummedColumns(*model), std::string(c.pages).find('E') != std::string::npos) << c.name;
        EXPECT_EQ(Describe(*model), c.pages) << c.name;
    }
}

// The amounts of a summed column are read once per table; layouts, sorts and filters only add.
int g_amount_reads = 0;
int CountingCellText(void* context, int row_key, int column_identifier, char* buffer, int buffer_size) {
    if (column_identifier == 12) ++g_amount_reads;
    return TestCellText(context, row_key, column_identifier, buffer, buffer_size);
}

TEST_F(PaginationTest, AmountsAreReadOncePerTableAndAgainOnlyForANewOne) {
    model->SetCellTextSource(&CountingCellText, nullptr);
    for (int row = 0; row < 4; ++row) g_cells[{row, 11}] = std::string(1, static_cast<char>('d' - row));
    SumColumn(*model, {"1", "2", "3", "4"});
    g_amount_reads = 0;
    Lay(4, 0, PageNumberPosition::None, 200);
    EXPECT_EQ(g_amount_reads, 4);
    SortRows(*model, SortRequest{1, SortDirection::Ascending, KeyType::Text});
    FilterRequest filter{};
    filter.column = 1;
    std::strcpy(filter.from, "b");
    ASSERT_TRUE(FilterRows(*model, filter));
    model->RebuildLayout();
    RestoreRows(*model);
    EXPECT_EQ(g_amount_reads, 4) << "sorting, filtering and laying out read nothing again";
    EXPECT_EQ(Describe(*model), "T R0 R1 R2 R3b E[10]b");
    // A new source is a new table; so is a new row count.
    g_cells[{0, 12}] = "100";
    model->SetCellTextSource(&CountingCellText, nullptr);
    model->RebuildLayout();
    EXPECT_EQ(g_amount_reads, 8);
    EXPECT_EQ(Describe(*model), "T R0 R1 R2 R3b E[109]b");
    model->SetRowCount(3);
    EXPECT_EQ(g_amount_reads, 11);
    EXPECT_EQ(Describe(*model), "T R0 R1 R2b E[105]b");
    // Summing a column anew reads it anew.
    GridColumnInfo info;
    model->GetColumnInfo(2, info);
    info.flags &= ~ColumnFlags::Sum;
    model->SetColumnInfo(2, info);
    EXPECT_EQ(Describe(*model), "T R0 R1 R2b") << "no summed column: no sum lines";
    g_cells[{1, 12}] = "1000";
    info.flags |= ColumnFlags::Sum;
    model->SetColumnInfo(2, info);
    EXPECT_EQ(g_amount_reads, 14);
    EXPECT_EQ(Describe(*model), "T R0 R1 R2b E[1103]b");
}

// A filtered view writes its sums as its own rows do, and counts its own cells that are no numbers.
TEST_F(PaginationTest, AFilteredViewSumsAndFormatsItsOwnRows) {
    const char* const names[] = {"a", "b", "c", "d"};
    for (int row = 0; row < 4; ++row) g_cells[{row, 11}] = names[row];
    SumColumn(*model, {"12 000,5", "2", "abc", "3,255"});
    Lay(4, 0, PageNumberPosition::None, 200);
    EXPECT_EQ(Describe(*model), "T R0 R1 R2 R3b E[12 005,755]b N(1 стойност не е число)");
    FilterRequest filter{};
    filter.column = 1;
    std::strcpy(filter.from, "b");
    std::strcpy(filter.to, "b");
    ASSERT_TRUE(FilterRows(*model, filter));
    EXPECT_EQ(Describe(*model), "T R1b E[2]b");
    RestoreRows(*model);
    std::strcpy(filter.to, "d");
    ASSERT_TRUE(FilterRows(*model, filter));
    EXPECT_EQ(Describe(*model), "T R1 R2 R3b E[5,255]b N(1 стойност не е число)");
}

TEST_F(PaginationTest, AMillionCentsAddUpExactly) {
    model->AddColumn(12, "Сума");
    GridColumnInfo info;
    model->GetColumnInfo(2, info);
    info.flags |= ColumnFlags::Sum;
    model->SetColumnInfo(2, info);
    model->SetCellTextSource(
        [](void*, int, int column, char* buffer, int) -> int {
            if (column != 12) return 0;
            std::memcpy(buffer, "0,01", 4);
            return 4;
        },
        nullptr);
    g_settings = PageHolding(1000000);
    model->Reformat();
    model->SetRowCount(1000000);
    const LayoutLine last = model->Line(model->LineCount() - 1);
    ASSERT_EQ(last.kind, LineKind::EndTotal);
    char text[kCellTextLimit + 1];
    EXPECT_EQ(SumLineCellText(*model, last, 2, text), 9);
    EXPECT_STREQ(text, "10 000,00");
    // Other columns and other lines show no sum.
    EXPECT_EQ(SumLineCellText(*model, last, 1, text), 0);
    EXPECT_EQ(SumLineCellText(*model, model->Line(5), 2, text), 0);
    EXPECT_EQ(SumLineLabel(*model, last, text), 4);
    EXPECT_STREQ(text, "Общо");
}

TEST_F(PaginationTest, NoRowsMakeNoLines) {
    model->SetHeaderText("Head");
    model->SetFooterText("Foot");
    Lay(0, kDefaultFlags | TableFlags::PageColNumbers | TableFlags::PageDate, PageNumberPosition::TopLeft);
    EXPECT_EQ(model->LineCount(), 0);
    EXPECT_EQ(model->ViewState().total_text_lines, 0);
}

TEST_F(PaginationTest, TheDotMatrixPageIsCountedInLines) {
    PrintSettings settings = DotMatrixPrintSettings();
    settings.paper_height = 12;
    settings.top_margin = 1;
    settings.bottom_margin = 1;
    g_settings = settings;
    model->Reformat();
    // A text line and a rule are one line each: rows 2, titles 3, column numbers 2 or 3.
    const LineMetrics lines = LineMetricsOf(*model, GridDevice::Print);
    EXPECT_EQ(lines.font_height, 1);
    EXPECT_EQ(lines.rule_width, 1);
    EXPECT_EQ(lines.cell_padding, 0);
    model->SetRowCount(6);
    EXPECT_EQ(Describe(*model), "T Cb R0b R1b | P2 B Cab R2b R3b | P3 B Cab R4b R5b");
    // The screen keeps its pixels.
    EXPECT_EQ(LineMetricsOf(*model, GridDevice::Screen).font_height, 13);
    // Margins past any paper (from a data file's head) leave no room: a row per page, and no
    // 32-bit difference wraps into a large page.
    settings.top_margin = INT32_MAX;
    settings.bottom_margin = INT32_MAX;
    settings.paper_height = INT32_MIN;
    g_settings = settings;
    model->Reformat();
    model->SetRowCount(3);
    EXPECT_EQ(Describe(*model), "T Cb R0b | P2 B Cab R1b | P3 B Cab R2b");
}

TEST_F(PaginationTest, ThickerRulesAndTallerCellsTakeMoreOfThePage) {
    // Thick rules: rows 12, titles 14, column numbers 12 (14 with the rule above).
    TableStyle style = model->GetTableStyle();
    style.line_type = LineType::Thick;
    model->SetTableStyle(style);
    Lay(5, kDefaultFlags, PageNumberPosition::None, 50);
    EXPECT_EQ(Describe(*model), "T Cb R0b R1b | Cab R2b R3b R4b");
    // Cells 40 % taller: 2 pixels above and below the text of every row and column number.
    style = model->GetTableStyle();
    style.line_type = LineType::Single;
    style.cell_height = 40;
    model->SetTableStyle(style);
    Lay(5, kDefaultFlags, PageNumberPosition::None, 50);
    EXPECT_EQ(Describe(*model), "T Cb R0b | Cab R1b R2b | Cab R3b R4b");
    // Cells twice as high: the titles are drawn with the padding too (22 pixels), so on a page
    // of 80 one row of 21 follows them and the column numbers (21), not two.
    style.cell_height = 100;
    model->SetTableStyle(style);
    Lay(5, kDefaultFlags, PageNumberPosition::None, 80);
    EXPECT_EQ(Describe(*model), "T Cb R0b | Cab R1b R2b | Cab R3b R4b");
}

TEST_F(PaginationTest, TitlesWrapAsTheyAreDrawn) {
    // 17 pixels of text in a column 19 wide less the inset "o" (2): one line in the plain
    // font, two in bold (a pixel more a byte).
    model->AddColumn(12, "aaaa bbbb");
    model->MutableColumn(2)->print_width = 19;
    Lay(1, kDefaultFlags, PageNumberPosition::None);
    EXPECT_EQ(Describe(*model), "T Cb R0b");
    Lay(1, kDefaultFlags | TableFlags::BoldHeader, PageNumberPosition::None);
    EXPECT_EQ(Describe(*model), "Tx2 Cb R0b");
}

struct HeightCase {
    std::uint8_t kind;
    std::uint8_t flags;
    std::uint8_t height;
    int sub_line;
    int expected;
};

TEST(LineHeightTest, SubLinesCarryPaddingAndRulesOnTheirEdges) {
    const LineMetrics m{10, 3, 2};  // text line 10, rule 3, padding 2
    const HeightCase cases[] = {
        {LineKind::DataRow, 0, 1, 0, 14},
        {LineKind::DataRow, LineFlags::RuleAbove, 1, 0, 17},
        {LineKind::DataRow, LineFlags::RuleAbove | LineFlags::RuleBelow, 1, 0, 20},
        {LineKind::DataRow, LineFlags::RuleAbove | LineFlags::RuleBelow, 3, 0, 15},
        {LineKind::DataRow, LineFlags::RuleAbove | LineFlags::RuleBelow, 3, 1, 10},
        {LineKind::DataRow, LineFlags::RuleAbove | LineFlags::RuleBelow, 3, 2, 15},
        {LineKind::DataRow, LineFlags::RuleBelow, 2, 0, 12},
        // Titles: rules and the padding they are drawn with, whatever their flags.
        {LineKind::Titles, 0, 1, 0, 20},
        {LineKind::Titles, 0, 2, 0, 15},
        {LineKind::Titles, 0, 2, 1, 15},
        {LineKind::Titles, LineFlags::RuleAbove, 3, 1, 10},
        {LineKind::ColumnNumbers, 0, 1, 0, 14},
        {LineKind::ColumnNumbers, LineFlags::RuleBelow, 1, 0, 17},
        {LineKind::ColumnNumbers, LineFlags::RuleAbove | LineFlags::RuleBelow, 1, 0, 20},
        {LineKind::Header, 0, 1, 0, 14},
        {LineKind::Header, LineFlags::RuleBelow, 2, 0, 12},
        {LineKind::Footer, 0, 3, 1, 10},
        {LineKind::Footer, 0, 3, 2, 12},
        {LineKind::PageNumber, LineFlags::RuleBelow, 1, 0, 10},
        {LineKind::PageBreak, 0, 1, 0, 10},
        {LineKind::Blank, 0, 1, 0, 10},
        {LineKind::DateLine, 0, 1, 0, 10},
    };
    for (const HeightCase& c : cases) {
        LayoutLine line{};
        line.kind = c.kind;
        line.flags = c.flags;
        line.height = c.height;
        EXPECT_EQ(SubLineHeight(line, c.sub_line, m), c.expected)
            << "kind " << +c.kind << " flags " << +c.flags << " height " << +c.height << " sub-line " << c.sub_line;
        int sum = 0;
        for (int s = 0; s < c.height; ++s) sum += SubLineHeight(line, s, m);
        EXPECT_EQ(LineHeight(line, m), sum) << "kind " << +c.kind << " height " << +c.height;
    }
}

}  // namespace
