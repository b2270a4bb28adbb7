// Tests of the grid's painting and window handling under Wine: pixels of the painted lines in a
// memory surface, scroll bars, keyboard, the mouse and what the grid passes to its parent.
#include "grid/grid_paint_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "draw_test_support.h"
#include "grid/grid_input_win32.h"
#include "grid/grid_layout.h"
#include "grid/grid_win32.h"
#include "grid_test_support.h"
#include "print/windows_printing.h"
#include "print/windows_printing_win32.h"

namespace {

using draw_test::DrawSurface;
using draw_test::kBlack;
using draw_test::kRed;
using draw_test::kWhite;

constexpr COLORREF kUnpainted = RGB(1, 2, 3);
constexpr COLORREF kGrayCell = RGB(192, 192, 192);
constexpr COLORREF kPictureGreen = RGB(0, 160, 0);

std::map<std::pair<int, int>, std::string> g_cells;
int g_source_calls = 0;

int TestCellText(void*, int row_key, int column_identifier, char* buffer, int buffer_size) {
    ++g_source_calls;
    const auto found = g_cells.find({row_key, column_identifier});
    if (found == g_cells.end()) return 0;
    const int length = std::min(static_cast<int>(found->second.size()), buffer_size);
    std::memcpy(buffer, found->second.data(), static_cast<std::size_t>(length));
    return length;
}

// What the grid sent its parent.
struct ParentMessage {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};
std::vector<ParentMessage> g_parent_messages;

LRESULT CALLBACK RecordingParent(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_KEYDOWN || message == WM_RBUTTONDOWN || message == WM_COMMAND) {
        g_parent_messages.push_back(ParentMessage{message, wparam, lparam});
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

const char kParentClass[] = "GridPaintTestParent";

// Printer settings for the tests: A4 on the display (no printer is open), margins given in
// hundredths of a millimetre.
PrintSettings Page(int height, int left_margin = 0, int right_margin = 0) {
    PrintSettings settings = BuiltInPrintSettings();
    settings.paper_height = height;
    settings.left_margin = left_margin;
    settings.right_margin = right_margin;
    return settings;
}

class GridPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_cells.clear();
        g_parent_messages.clear();
        host.settings = Page(29700);
        WNDCLASSA parent_class = {};
        if (!GetClassInfoA(GetModuleHandleA(nullptr), kParentClass, &parent_class)) {
            parent_class = WNDCLASSA{};
            parent_class.lpfnWndProc = RecordingParent;
            parent_class.hInstance = GetModuleHandleA(nullptr);
            parent_class.lpszClassName = kParentClass;
            ASSERT_NE(RegisterClassA(&parent_class), 0);
        }
        parent = CreateWindowExA(0, kParentClass, "grid paint test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                                 640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        grid.reset();
        if (parent != nullptr) DestroyWindow(parent);
    }

    // A grid of 400 x 300 client pixels (no client edge) with two text columns.
    void MakeGrid(std::uint32_t style_bits = GridStyle::ResizeCursor | GridStyle::MoveColumns) {
        grid = std::make_unique<Grid>(host);
        ASSERT_TRUE(grid->Create(parent, 1001, style_bits, 0, 0, 400, 300));
        grid->SetCellTextSource(&TestCellText, nullptr);
        grid->AddColumn(11, "Name");
        grid->AddColumn(12, "Amount");
        grid->Reformat();
    }

    void Style(std::uint32_t flags, std::uint8_t position = PageNumberPosition::None,
               std::uint8_t line_type = LineType::Single) {
        TableStyle style = grid->GetTableStyle();
        style.flags = flags;
        style.page_number_position = position;
        style.line_type = line_type;
        grid->SetTableStyle(style);
    }

    void Rows(int count) {
        for (int row = 0; row < count; ++row) {
            g_cells[{row, 11}] = "Row" + std::to_string(row);
            g_cells[{row, 12}] = std::to_string(row * 10);
        }
        grid->SetRowCount(count);
        grid->ApplyNaturalWidths();
    }

    // The grid's client area painted into memory, on a colour no painting uses, as WM_PAINT
    // does it. Painted twice: the first paint may show or hide scroll bars, which changes the
    // client area.
    std::unique_ptr<DrawSurface> Paint() {
        std::unique_ptr<DrawSurface> surface;
        for (int pass = 0; pass < 2; ++pass) {
            RECT client{};
            GetClientRect(grid->Window(), &client);
            surface = std::make_unique<DrawSurface>(client.right, client.bottom, kUnpainted);
            if (PaintGridWindow(*grid, surface->dc())) UpdateGridScrollRanges(*grid);
            UpdateGridScrollPositions(*grid);
        }
        return surface;
    }

    int IndexOf(std::uint8_t kind, int nth = 0) const {
        for (int i = 0; i < grid->Model().LineCount(); ++i) {
            if (grid->Model().Line(i).kind == kind && nth-- == 0) return i;
        }
        return -1;
    }

    int FontHeight() const { return grid->Model().Metrics(GridDevice::Screen).font_height; }
    int TableWidth() const { return grid->Model().TableWidth(); }
    int ColumnWidth(int index) const { return grid->Model().Column(index)->width; }

    HWND parent = nullptr;
    grid_test::TestGridHost host;
    std::unique_ptr<Grid> grid;
};

TEST_F(GridPaintTest, TitlesNumbersAndRowsAreRuledAndEverythingElseIsWhite) {
    MakeGrid();
    Rows(3);
    const auto surface = Paint();
    const int h = FontHeight();
    const int w = TableWidth();
    const int right = surface->width();
    const int bottom = surface->height();
    EXPECT_EQ(surface->CountOf(RECT{0, 0, right, bottom}, kUnpainted), 0) << "every pixel is painted";
    EXPECT_EQ(surface->CountOf(RECT{0, 0, right, 4}, kWhite), right * 4) << "the top band";
    EXPECT_EQ(surface->CountOf(RECT{0, 4, 4, bottom}, kWhite), 4 * (bottom - 4)) << "the left indent";

    // Titles: a rule at 4, one text line, a rule; column numbers and rows: a text line and a
    // rule below each.
    const int rules[] = {4, 5 + h, 6 + 2 * h, 7 + 3 * h, 8 + 4 * h, 9 + 5 * h};
    for (int y : rules) {
        EXPECT_EQ(surface->CountOf(RECT{4, y, 4 + w, y + 1}, kBlack), w) << "rule at y " << y;
        EXPECT_EQ(surface->Pixel(4 + w, y), kWhite) << "nothing right of the table at y " << y;
    }
    EXPECT_EQ(surface->CountOf(RECT{4, 10 + 5 * h, right, bottom}, kWhite), (right - 4) * (bottom - 10 - 5 * h))
        << "below the table";
    // The vertical rules: the table's left edge and each column's right edge, full height.
    const int rule_x[] = {4, 5 + ColumnWidth(0), 6 + ColumnWidth(0) + ColumnWidth(1), 3 + w};
    for (int x : rule_x) EXPECT_EQ(surface->CountOf(RECT{x, 4, x + 1, 10 + 5 * h}, kBlack), 6 + 5 * h) << "x " << x;
    // Text in the cells: the row numbers, the names, the column numbers.
    for (int band = 0; band < 5; ++band) {
        const RECT cells{5, 5 + band * (h + 1), 4 + w - 1, 5 + band * (h + 1) + h};
        EXPECT_GT(surface->CountOf(cells, kBlack), 20) << "text in band " << band;
    }
}

TEST_F(GridPaintTest, TheLastVisibleLineAndTheTextLinesInViewAreStored) {
    MakeGrid();
    Rows(100);
    const int bottom = Paint()->height();
    const GridViewState& view = grid->Model().ViewState();
    const int h = FontHeight();
    // Titles h + 2, then lines of h + 1 below the band of 4.
    const int whole_rows = (bottom - 4 - (h + 2)) / (h + 1);
    EXPECT_EQ(view.last_visible_line, whole_rows);
    EXPECT_EQ(view.last_visible_bottom, 4 + (h + 2) + whole_rows * (h + 1));
    EXPECT_EQ(view.visible_text_lines, whole_rows + 1);
}

TEST_F(GridPaintTest, OnlyTheLinesInViewAreAskedForTheirCells) {
    MakeGrid();
    grid->SetRowCount(100000);
    g_source_calls = 0;
    Paint();
    // Two columns of the store per row in view, and Paint() paints twice.
    const int lines_in_view = 300 / FontHeight() + 1;
    const int most_calls = 2 * 2 * lines_in_view;
    EXPECT_GT(g_source_calls, 0);
    EXPECT_LE(g_source_calls, most_calls);
    // Scrolled far down it costs the same.
    grid->Model().ViewState().top_line = 90000;
    g_source_calls = 0;
    Paint();
    EXPECT_LE(g_source_calls, most_calls);
}

TEST_F(GridPaintTest, ADoubleRuleIsDarkWhiteDark) {
    MakeGrid();
    Style(TableFlags::ColNumbers | TableFlags::HorzLines, PageNumberPosition::None, LineType::Double);
    Rows(2);
    const auto surface = Paint();
    const int inside = 4 + 3 + ColumnWidth(0) / 2;  // within the first cell
    EXPECT_EQ(surface->Pixel(inside, 4), kBlack);
    EXPECT_EQ(surface->Pixel(inside, 5), kWhite);
    EXPECT_EQ(surface->Pixel(inside, 6), kBlack);
    // The left rule too: dark at 4, white at 5, dark at 6, closed at the corner.
    EXPECT_EQ(surface->Pixel(4, 5), kBlack);
    const int y = 8;  // inside the titles, under their top rule
    EXPECT_EQ(surface->Pixel(4, y), kBlack);
    EXPECT_EQ(surface->Pixel(5, y), kWhite);
    EXPECT_EQ(surface->Pixel(6, y), kBlack);
    EXPECT_EQ(grid->Model().TableWidth(), 3 + (ColumnWidth(0) + 3) + (ColumnWidth(1) + 3) + (ColumnWidth(2) + 3));
}

TEST_F(GridPaintTest, GrayAndBoldHeadersChangeOnlyTheTitles) {
    MakeGrid();
    Rows(1);
    const int h = FontHeight();
    const RECT titles{5, 5, 4 + ColumnWidth(0), 5 + h};
    const RECT numbers{5, 6 + h, 4 + ColumnWidth(0), 6 + 2 * h};
    const auto plain = Paint();
    EXPECT_EQ(plain->Pixel(6, 6), kWhite);
    const int plain_ink = plain->CountOf(RECT{5, 5, 3 + TableWidth(), 5 + h}, kBlack);

    Style(TableFlags::ColNumbers | TableFlags::HorzLines | TableFlags::GrayHeader);
    const auto gray = Paint();
    EXPECT_EQ(gray->Pixel(6, 6), kGrayCell);
    EXPECT_EQ(gray->Pixel(numbers.left + 1, numbers.top + 1), kGrayCell);
    EXPECT_EQ(gray->CountOf(titles, kWhite), 0) << "the title cell is gray around its text";
    EXPECT_EQ(gray->Pixel(6, 7 + 2 * h + 1), kWhite) << "data rows stay white";

    Style(TableFlags::ColNumbers | TableFlags::HorzLines | TableFlags::BoldHeader);
    const auto bold = Paint();
    EXPECT_GT(bold->CountOf(RECT{5, 5, 3 + TableWidth(), 5 + h}, kBlack), plain_ink);
    EXPECT_EQ(bold->CountOf(numbers, kBlack), plain->CountOf(numbers, kBlack)) << "column numbers stay plain";
}

// Cells leave the clip region as they are painted; a printed page must end with a region of a
// few rectangles (printer drivers send the region with every drawing call), the rows painted.
TEST_F(GridPaintTest, APrintedPageLeavesTheClipRegionASingleBand) {
    MakeGrid();
    Rows(40);
    CountColumnGroups(grid->Model());
    DrawSurface sheet(800, 1130, kUnpainted);
    ASSERT_TRUE(sheet.ok());
    grid->SetPrintContext(sheet.dc());
    PrintPage(*grid, 0, 0, false);
    grid->SetPrintContext(nullptr);

    const HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetClipRgn(sheet.dc(), region), 1);
    std::vector<char> data(GetRegionData(region, 0, nullptr));
    ASSERT_GT(GetRegionData(region, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data())), 0u);
    DeleteObject(region);
    EXPECT_LE(reinterpret_cast<RGNDATA*>(data.data())->rdh.nCount, 3u);
    // The last row's text is on the sheet: dark pixels below the middle of the rows.
    int dark = 0;
    for (int y = 0; y < sheet.height(); ++y) {
        for (int x = 0; x < sheet.width(); ++x) dark += sheet.Pixel(x, y) == RGB(0, 0, 0);
    }
    EXPECT_GT(dark, 40 * 20);
}

TEST_F(GridPaintTest, PageWidthMarkIsRedAtThePrintableWidth) {
    host.settings = Page(29700, 10000, 6000);  // 50 mm printable: 189 pixels at 96 dpi
    MakeGrid(GridStyle::PageWidthMark);
    Rows(2);
    const auto surface = Paint();
    const int right = surface->width();
    const int bottom = surface->height();
    EXPECT_EQ(surface->CountOf(RECT{193, 0, 194, bottom}, kRed), bottom);
    EXPECT_EQ(surface->CountOf(RECT{0, 0, 193, bottom}, kRed), 0);
    EXPECT_EQ(surface->CountOf(RECT{194, 0, right, bottom}, kRed), 0);
    // Scrolled 10 pixels left, the mark follows the table.
    grid->Model().ViewState().horizontal_offset = -10;
    const auto scrolled = Paint();
    EXPECT_EQ(scrolled->CountOf(RECT{183, 0, 184, bottom}, kRed), bottom);
    EXPECT_EQ(scrolled->CountOf(RECT{0, 0, 183, bottom}, kRed), 0);

    // A "Name" column too wide to share a sheet with "No" begins the second column group, and
    // "Amount" the third: every group's sheet edge is marked, from the group's left rule.
    GridModel& model = grid->Model();
    model.MutableColumn(1)->print_width = PrintableWidthOnPaper(model) - 10;
    model.MutableColumn(1)->width = 180;
    model.UpdateTableWidth();
    model.ViewState().horizontal_offset = 0;
    const auto groups = Paint();
    const int name_left = 4 + ColumnWidth(0) + 1;
    EXPECT_EQ(groups->CountOf(RECT{193, 0, 194, bottom}, kRed), bottom);
    EXPECT_EQ(groups->CountOf(RECT{name_left + 189, 0, name_left + 190, bottom}, kRed), bottom);
    EXPECT_EQ(groups->CountOf(RECT{0, 0, right, bottom}, kRed), 2 * bottom);
}

TEST_F(GridPaintTest, PageBreaksAreDottedBandsAcrossTheWindow) {
    host.settings = Page(1500);  // 15 mm: a few rows a page
    MakeGrid();
    Style(TableFlags::ColNumbers | TableFlags::HorzLines, PageNumberPosition::None);
    Rows(20);
    const int page_break = IndexOf(LineKind::PageBreak);
    ASSERT_GT(page_break, 0);
    grid->Model().ViewState().top_line = page_break;
    const auto surface = Paint();
    const int h = FontHeight();
    const int dots = 4 + h / 2;
    const int right = surface->width();
    for (int x = 0; x < right; ++x) {
        EXPECT_EQ(surface->Pixel(x, dots), x % 3 == 1 ? kBlack : kWhite) << "x " << x;
    }
    EXPECT_EQ(surface->CountOf(RECT{0, 4, right, dots}, kWhite), right * (dots - 4));
    EXPECT_EQ(surface->CountOf(RECT{0, dots + 1, right, 4 + h}, kWhite), right * (3 + h - dots));
}

TEST_F(GridPaintTest, PageNumbersAreAlignedAsTheirPositionSays) {
    host.settings = Page(1500, 10000, 6000);
    MakeGrid();
    struct Case {
        std::uint8_t position;
        const char* name;
    };
    const int h = FontHeight();
    RECT ink[3];
    int index = 0;
    int right = 0;
    for (const Case& c : {Case{PageNumberPosition::TopLeft, "left"}, Case{PageNumberPosition::TopCenter, "centre"},
                          Case{PageNumberPosition::BottomRight, "right"}}) {
        Style(TableFlags::ColNumbers | TableFlags::HorzLines | TableFlags::PageFooter, c.position);
        Rows(20);
        const int number = IndexOf(LineKind::PageNumber);
        ASSERT_GE(number, 0) << c.name;
        grid->Model().ViewState().top_line = number;
        const auto surface = Paint();
        right = surface->width();
        ink[index++] = surface->BoundsOfColourIn(RECT{0, 4, right, 4 + h}, kBlack);
    }
    // As on paper: in the printable width (50 mm, 189 pixels) from the table's left rule at 4.
    const int inset = grid->Model().Metrics(GridDevice::Screen).text_inset;
    EXPECT_GE(ink[0].left, 4 + inset - 1) << "left: from the table's left rule";
    EXPECT_LE(ink[0].left, 4 + inset + 2);
    EXPECT_NEAR((ink[1].left + ink[1].right) / 2, 4 + 189 / 2, 3) << "centre of the printable width";
    EXPECT_GE(ink[2].right, 193 - inset - 4) << "right: to the right margin";
    EXPECT_LE(ink[2].right, 193 - inset);
    EXPECT_LT(ink[2].right, right - 100);
    EXPECT_GT(ink[1].right - ink[1].left, ink[0].right - ink[0].left) << "\"- 1 -\" is wider than \"1.\"";
}

TEST_F(GridPaintTest, HeaderTextIsSplitAtTheTabAndFootersFollowTheRows) {
    MakeGrid();
    grid->SetHeaderText("Left\tRight");
    grid->SetFooterText("Footer line");
    Style(TableFlags::ColNumbers | TableFlags::HorzLines, PageNumberPosition::None);
    Rows(2);
    const auto surface = Paint();
    const int h = FontHeight();
    const RECT header{4, 4, 4 + TableWidth(), 4 + h};
    const RECT ink = surface->BoundsOfColourIn(header, kBlack);
    EXPECT_LT(ink.left, 4 + TableWidth() / 3);
    EXPECT_GT(ink.right, 4 + 2 * TableWidth() / 3);
    // Nothing in the middle between the two parts.
    const int middle = 4 + TableWidth() / 2;
    EXPECT_EQ(surface->CountOf(RECT{middle - 2, 4, middle + 2, 4 + h}, kBlack), 0);
    const int footer = IndexOf(LineKind::Footer);
    EXPECT_EQ(footer, grid->Model().LineCount() - 1);
}

TEST_F(GridPaintTest, PictureCellsShowTheirBitmaps) {
    draw_test::TempFolder folder("grid_paint_pictures");
    draw_test::TestPicture picture(24, 30, kPictureGreen);
    folder.Add("green.bmp", draw_test::EncodeBitmap(picture, 24, false));
    host.picture_folder = folder.path();
    MakeGrid();
    grid->AddColumn(13, "Photo");
    GridColumnInfo info;
    grid->GetColumnInfo(3, info);
    info.type = ColumnType::Picture;
    grid->SetColumnInfo(3, info);
    g_cells[{0, 13}] = "green.bmp";
    g_cells[{1, 13}] = "missing.bmp";
    Rows(2);
    const int h = FontHeight();
    EXPECT_EQ(grid->Model().Line(2).height, (30 + h - 1) / h) << "the row is as high as the picture";
    EXPECT_GE(ColumnWidth(3), 24);
    const auto surface = Paint();
    const RECT green = surface->BoundsOfColour(kPictureGreen);
    EXPECT_EQ(green.right - green.left, 24);
    EXPECT_EQ(green.bottom - green.top, 30);
    const int cell_left = 4 + 3 + ColumnWidth(0) + ColumnWidth(1) + ColumnWidth(2) + 1;
    EXPECT_GE(green.left, cell_left);
    // The missing picture's row shows its name instead.
    const LayoutLine second = grid->Model().Line(3);
    ASSERT_EQ(second.kind, LineKind::DataRow);
    const int second_top = green.bottom;
    EXPECT_GT(surface->CountOf(RECT{cell_left, second_top, cell_left + ColumnWidth(3), second_top + h + 2}, kBlack),
              10);
}

TEST_F(GridPaintTest, ScrollBarsFollowTheLayoutAndTheView) {
    MakeGrid();
    ShowWindow(parent, SW_SHOWNOACTIVATE);
    Rows(100);
    grid->Redraw();
    const GridViewState& view = grid->Model().ViewState();
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(grid->Window(), SB_VERT, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, view.total_text_lines - 1);
    EXPECT_EQ(static_cast<int>(info.nPage), view.visible_text_lines);
    EXPECT_EQ(info.nPos, 0);
    ASSERT_TRUE(GetScrollInfo(grid->Window(), SB_HORZ, &info));
    EXPECT_EQ(info.nMax, 12 + TableWidth());
    RECT client{};
    GetClientRect(grid->Window(), &client);
    // A page larger than the range is held to the range.
    EXPECT_EQ(static_cast<int>(info.nPage), std::min<int>(client.right, info.nMax + 1));

    // Keys move the view in text lines and the bar follows.
    SendMessageA(grid->Window(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(GetScrollPos(grid->Window(), SB_VERT), 1);
    SendMessageA(grid->Window(), WM_KEYDOWN, VK_NEXT, 0);
    const int after_page = GetScrollPos(grid->Window(), SB_VERT);
    EXPECT_EQ(after_page, view.vertical_position);
    EXPECT_EQ(after_page, VerticalPositionOf(grid->Model()));
    EXPECT_GT(after_page, view.visible_text_lines / 2);
    SendMessageA(grid->Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 50), 0);
    EXPECT_EQ(GetScrollPos(grid->Window(), SB_VERT), 50);
    SendMessageA(grid->Window(), WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), 0);
    EXPECT_EQ(GetScrollPos(grid->Window(), SB_VERT), 49);
    // Ctrl+Page Down: the end of the table in view; Down then does nothing.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageA(grid->Window(), WM_KEYDOWN, VK_NEXT, 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    const int end = GetScrollPos(grid->Window(), SB_VERT);
    EXPECT_EQ(end + view.visible_text_lines, view.total_text_lines);
    SendMessageA(grid->Window(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(GetScrollPos(grid->Window(), SB_VERT), end);
    // The horizontal bar: 8 pixels a step.
    MoveWindow(grid->Window(), 0, 0, 60, 300, TRUE);
    SendMessageA(grid->Window(), WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
    EXPECT_EQ(GetScrollPos(grid->Window(), SB_HORZ), 8);
    EXPECT_EQ(view.horizontal_offset, -8);
    SendMessageA(grid->Window(), WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), 0);
    EXPECT_EQ(view.horizontal_offset, -8) << "page steps move nothing";
}

TEST_F(GridPaintTest, UnusedKeysRightClicksAndCommandsGoToTheParent) {
    MakeGrid();
    MoveWindow(grid->Window(), 10, 20, 400, 300, TRUE);
    Rows(5);
    SendMessageA(grid->Window(), WM_KEYDOWN, 'A', 0x001E0001);
    SendMessageA(grid->Window(), WM_KEYDOWN, VK_F5, 0x003F0001);
    SendMessageA(grid->Window(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 40));
    SendMessageA(grid->Window(), WM_COMMAND, 301, 0);
    SendMessageA(grid->Window(), WM_KEYDOWN, VK_DOWN, 0);  // the grid's own
    ASSERT_EQ(g_parent_messages.size(), 4u);
    EXPECT_EQ(g_parent_messages[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(g_parent_messages[0].wparam, static_cast<WPARAM>('A'));
    EXPECT_EQ(g_parent_messages[0].lparam, 0x001E0001);
    EXPECT_EQ(g_parent_messages[1].wparam, static_cast<WPARAM>(VK_F5));
    EXPECT_EQ(g_parent_messages[2].message, static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_EQ(g_parent_messages[2].wparam, static_cast<WPARAM>(MK_RBUTTON));
    POINT expected{30, 40};
    MapWindowPoints(grid->Window(), parent, &expected, 1);
    EXPECT_EQ(g_parent_messages[2].lparam, MAKELPARAM(expected.x, expected.y));
    EXPECT_EQ(g_parent_messages[3].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(g_parent_messages[3].wparam, 301u);

    // The context-menu key and Shift+F10 ask for the context menu at the grid's top left; F10
    // alone is not the grid's.
    g_parent_messages.clear();
    SendMessageA(grid->Window(), WM_KEYDOWN, VK_APPS, 0x015D0001);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    SendMessageA(grid->Window(), WM_SYSKEYDOWN, VK_F10, 0x00440001);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    SendMessageA(grid->Window(), WM_SYSKEYDOWN, VK_F10, 0x00440001);
    POINT corner{0, 0};
    MapWindowPoints(grid->Window(), parent, &corner, 1);
    ASSERT_EQ(g_parent_messages.size(), 2u);
    for (const ParentMessage& message : g_parent_messages) {
        EXPECT_EQ(message.message, static_cast<UINT>(WM_RBUTTONDOWN));
        EXPECT_EQ(message.lparam, MAKELPARAM(corner.x, corner.y));
    }
}

TEST_F(GridPaintTest, TheSizingCursorShowsOverColumnEdgesOfDataRows) {
    MakeGrid();
    Rows(5);
    const int h = FontHeight();
    const int edge = 5 + ColumnWidth(0);
    const int row_y = 4 + (h + 2) + (h + 1) + h / 2;  // the first data row
    const HCURSOR sizing = LoadCursorA(nullptr, IDC_SIZEWE);
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SendMessageA(grid->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(edge, row_y));
    EXPECT_EQ(GetCursor(), sizing);
    SendMessageA(grid->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(edge + 5, row_y));
    EXPECT_EQ(GetCursor(), arrow);
    SendMessageA(grid->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(edge, 4 + h / 2));  // the titles
    EXPECT_EQ(GetCursor(), arrow);
    // Without ResizeCursor the arrow stays.
    MakeGrid(GridStyle::MoveColumns);
    Rows(5);
    SendMessageA(grid->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(edge, row_y));
    EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(GridPaintTest, TheResizeLineFollowsTheMouseAndLeavesNoTrace) {
    MakeGrid();
    ShowWindow(parent, SW_SHOWNOACTIVATE);
    Rows(5);
    grid->Redraw();
    const HWND window = grid->Window();
    // What the window shows where the line will pass.
    const HDC screen = GetDC(window);
    std::vector<COLORREF> before;
    for (int y = 0; y < 300; y += 7) before.push_back(GetPixel(screen, 160, y));
    POINT start{100, 150};
    ClientToScreen(window, &start);
    SetCursorPos(start.x, start.y);
    // The drag reads the cursor on every move and ends at the release.
    POINT target{160, 150};
    ClientToScreen(window, &target);
    SetCursorPos(target.x, target.y);
    PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(160, 150));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(160, 150));
    const int x = DragResizeLine(window, 100, RECT{50, 0, 390, 300});
    POINT cursor{};
    GetCursorPos(&cursor);
    if (cursor.x != target.x) {
        ReleaseDC(window, screen);
        GTEST_SKIP() << "the X server did not move the pointer";
    }
    EXPECT_EQ(x, 160);
    std::vector<COLORREF> after;
    for (int y = 0; y < 300; y += 7) after.push_back(GetPixel(screen, 160, y));
    ReleaseDC(window, screen);
    EXPECT_EQ(after, before) << "the pixels under the line are back";
    RECT clip{};
    GetClipCursor(&clip);
    EXPECT_GT(clip.right - clip.left, 400) << "the cursor is free again";
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(GridPaintTest, DatesAreWrittenDayFirst) {
    SYSTEMTIME time{};
    time.wDay = 5;
    time.wMonth = 3;
    time.wYear = 2026;
    time.wHour = 9;
    time.wMinute = 7;
    char text[32];
    FormatDateLine(time, text);
    EXPECT_STREQ(text, "05.03.2026, 09:07");
}

}  // namespace
