// Tests of the grid window under Wine: creation, placement, the window's grid, and the layout file
// on disk.
#include "grid/grid_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "grid/column_layout_file.h"
#include "grid_test_support.h"

namespace {

using grid_test::Bytes;
using grid_test::ScratchFolder;

const char kParentClass[] = "GridTestParent";

// A top-level window to hold grids, 600 x 400, destroyed at the end of each test.
class GridWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA parent_class = {};
        if (!GetClassInfoA(GetModuleHandleA(nullptr), kParentClass, &parent_class)) {
            parent_class = WNDCLASSA{};
            parent_class.lpfnWndProc = DefWindowProcA;
            parent_class.hInstance = GetModuleHandleA(nullptr);
            parent_class.lpszClassName = kParentClass;
            ASSERT_NE(RegisterClassA(&parent_class), 0);
        }
        parent = CreateWindowExA(0, kParentClass, "grid test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 600,
                                 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        if (parent != nullptr) DestroyWindow(parent);
    }

    // A grid as the data file reader leaves it: two columns, a header and footer, rows.
    static void Fill(Grid& grid) {
        grid.AddColumn(11, "Име");
        grid.AddColumn(12, "Сума");
        grid.SetHeaderText("Left header text 1\tRight header text 1");
        grid.SetFooterText("Footer");
        grid.SetRowCount(3);
    }

    HWND parent = nullptr;
    grid_test::TestGridHost host;
};

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

TEST_F(GridWindowTest, CreateMakesAChildOfThePrintableTableClass) {
    Grid grid(host);
    ASSERT_TRUE(grid.Create(parent, 1001, 0x503, 0, 30, 400, 300));
    const HWND window = grid.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ClassOf(window), "PrintableTableClassName");
    EXPECT_EQ(GetDlgCtrlID(window), 1001);
    EXPECT_EQ(GetParent(window), parent);
    EXPECT_EQ(GetDlgItem(parent, 1001), window);
    EXPECT_EQ(GetWindowTextLengthA(window), 0);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    for (LONG bit : {WS_CHILD, WS_VISIBLE, WS_CLIPCHILDREN, WS_HSCROLL, WS_VSCROLL, WS_GROUP, WS_TABSTOP}) {
        EXPECT_EQ(style & bit, bit) << std::hex << bit;
    }
    EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(Grid::FromWindow(window), &grid);
    EXPECT_EQ(grid.StyleBits(), 0x503u);
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(grid.Frame().client.right, client.right);
    EXPECT_EQ(grid.Frame().client.bottom, client.bottom);

    // One window per grid.
    EXPECT_FALSE(grid.Create(parent, 1002, 0, 0, 0, 10, 10));
    grid.Destroy();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(grid.Window(), nullptr);
    EXPECT_EQ(Grid::FromWindow(window), nullptr);
}

TEST_F(GridWindowTest, ClientEdgeOnlyWhenAsked) {
    Grid grid(host);
    ASSERT_TRUE(grid.Create(parent, 7, GridStyle::ResizeCursor | GridStyle::MoveColumns, 0, 0, 100, 100));
    EXPECT_EQ(GetWindowLongA(grid.Window(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(GetDlgCtrlID(grid.Window()), 7);
}

TEST_F(GridWindowTest, FitToParentFillsBetweenTopAndReserve) {
    Grid grid(host);
    grid.FitToParent(10, 10);  // no window yet: nothing happens
    ASSERT_TRUE(grid.Create(parent, 1001, 0x503, 5, 5, 50, 50));
    RECT parent_client = {};
    GetClientRect(parent, &parent_client);
    struct Case {
        int top;
        int reserve;
    };
    for (const Case& c : {Case{28, 0}, Case{0, 0}, Case{40, 25}, Case{0, 100000}}) {
        grid.FitToParent(c.top, c.reserve);
        RECT placed = {};
        GetWindowRect(grid.Window(), &placed);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_EQ(placed.left, 0);
        EXPECT_EQ(placed.top, c.top);
        EXPECT_EQ(placed.right, parent_client.right);
        EXPECT_EQ(placed.bottom - placed.top, std::max(0L, parent_client.bottom - c.top - c.reserve)) << c.top;
    }
}

TEST_F(GridWindowTest, RedrawPaintsAtOnce) {
    Grid grid(host);
    grid.Redraw();  // no window: nothing
    ASSERT_TRUE(grid.Create(parent, 1001, 0x503, 0, 0, 200, 200));
    ShowWindow(parent, SW_SHOW);
    InvalidateRect(grid.Window(), nullptr, FALSE);
    grid.Redraw();
    RECT pending = {};
    EXPECT_FALSE(GetUpdateRect(grid.Window(), &pending, FALSE));
}

TEST_F(GridWindowTest, AWindowDestroyedWithItsParentLeavesTheGrid) {
    Grid grid(host);
    ASSERT_TRUE(grid.Create(parent, 1001, 0x503, 0, 0, 200, 200));
    const HWND window = grid.Window();
    DestroyWindow(parent);
    parent = nullptr;
    EXPECT_EQ(grid.Window(), nullptr);
    EXPECT_EQ(Grid::FromWindow(window), nullptr);
    grid.Redraw();
    grid.Destroy();
}

TEST_F(GridWindowTest, EveryWindowFindsItsOwnGrid) {
    std::vector<std::unique_ptr<Grid>> grids;
    for (int i = 0; i < 40; ++i) {
        grids.push_back(std::make_unique<Grid>(host));
        ASSERT_TRUE(grids.back()->Create(parent, 2000 + i, 0, 0, 0, 20, 20)) << i;
    }
    for (int i = 0; i < 40; ++i) EXPECT_EQ(Grid::FromWindow(grids[i]->Window()), grids[i].get()) << i;

    // A destroyed grid's window finds none; the others keep theirs, and a new one finds its own.
    const HWND destroyed = grids[3]->Window();
    grids[3]->Destroy();
    EXPECT_EQ(Grid::FromWindow(destroyed), nullptr);
    for (int i = 0; i < 40; ++i) {
        if (i != 3) {
            EXPECT_EQ(Grid::FromWindow(grids[i]->Window()), grids[i].get()) << i;
        }
    }
    Grid late(host);
    ASSERT_TRUE(late.Create(parent, 3000, 0, 0, 0, 20, 20));
    EXPECT_EQ(Grid::FromWindow(late.Window()), &late);
    // Windows of other classes are no grid's.
    EXPECT_EQ(Grid::FromWindow(parent), nullptr);
}

struct DestroyCase {
    const char* what;
    bool modified;
    bool path_known;
    bool writes;
};

TEST_F(GridWindowTest, DestroyWritesTheLayoutOnlyWhenModifiedAndAPathIsKnown) {
    const DestroyCase cases[] = {
        {"modified with a path", true, true, true},
        {"unmodified with a path", false, true, false},
        {"modified without a path", true, false, false},
        {"unmodified without a path", false, false, false},
    };
    ScratchFolder folder("grid_destroy");
    int n = 0;
    for (const DestroyCase& c : cases) {
        const std::string path = folder.File("layout" + std::to_string(n++) + ".fmt");
        Grid grid(host);
        ASSERT_TRUE(grid.Create(parent, 1001, 0x503, 0, 0, 300, 200));
        Fill(grid);
        if (c.path_known) {
            EXPECT_FALSE(grid.LoadLayout(path.c_str())) << c.what;  // no file yet
        }
        TableStyle style = grid.GetTableStyle();
        style.line_type = LineType::Thick;
        grid.SetTableStyle(style);
        grid.Model().SetModified(c.modified);
        const Bytes expected = grid.Model().BuildLayoutFileImage();

        grid.Destroy();
        EXPECT_FALSE(IsWindow(grid.Window())) << c.what;
        Bytes written;
        EXPECT_EQ(grid_test::ReadBytes(path, written), c.writes) << c.what;
        if (!c.writes) continue;
        EXPECT_EQ(written, expected) << c.what;
        ASSERT_EQ(written.size(), 128u + 3 * 48);
        EXPECT_EQ(written[0] | written[1] << 8 | written[2] << 16 | written[3] << 24, 12345678);
        EXPECT_EQ(written[10], 3);   // columns
        EXPECT_EQ(written[26], 2);   // Thick
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&written[34])), "MS Sans Serif");
        EXPECT_FALSE(grid.Model().IsModified());
        EXPECT_FALSE(grid_test::FileExists(path.substr(0, path.size() - 3) + "tmp")) << "temporary left behind";
    }
}

TEST_F(GridWindowTest, ALoadedLayoutIsSavedBackByteForByte) {
    ScratchFolder folder("grid_round_trip");
    const std::string first = folder.File("first.fmt");
    const std::string second = folder.File("second.fmt");
    {
        Grid original(host);
        Fill(original);
        GridColumnInfo info;
        original.GetColumnInfo(2, info);
        info.alignment = 2;
        info.flags |= ColumnFlags::TextFlow;
        info.max_lines = 4;
        original.SetColumnInfo(2, info);
        const std::uint8_t visible[] = {0, 1, 1};
        original.SetVisibility(visible, 3);
        FontSpec font = original.GetFont();
        std::strcpy(font.face_name, "Arial");
        font.size = 90;
        original.SetFont(font);
        ASSERT_TRUE(original.SaveLayout(first.c_str()));
        EXPECT_FALSE(original.Model().IsModified());
    }
    Bytes saved;
    ASSERT_TRUE(grid_test::ReadBytes(first, saved));

    Grid loaded(host);
    ASSERT_TRUE(loaded.Create(parent, 1001, 0x503, 0, 0, 300, 200));
    Fill(loaded);
    loaded.ApplyNaturalWidths();
    ASSERT_TRUE(loaded.LoadLayout(first.c_str()));
    EXPECT_STREQ(loaded.Model().LayoutFilePath(), first.c_str());
    EXPECT_FALSE(loaded.Model().IsModified());
    EXPECT_EQ(loaded.GetVisibility(), (std::vector<std::uint8_t>{0, 1, 1}));
    EXPECT_STREQ(loaded.GetFont().face_name, "Arial");
    ASSERT_TRUE(loaded.SaveLayout(second.c_str()));
    Bytes again;
    ASSERT_TRUE(grid_test::ReadBytes(second, again));
    EXPECT_EQ(again, saved);
}

TEST_F(GridWindowTest, AFileThatIsNotALayoutIsNeverOverwrittenEvenAfterAChange) {
    ScratchFolder folder("grid_refused");
    struct Case {
        const char* name;
        Bytes contents;  // empty: an empty file
        bool exists;
        LayoutSaveOutcome outcome;
    };
    const Case cases[] = {
        {"broken.fmt", {'n', 'o', 't', ' ', 'a', ' ', 'l', 'a', 'y', 'o', 'u', 't'}, true, LayoutSaveOutcome::Refused},
        {"table.rdf", {'T', 'i', 't', 'l', 'e', 's', ':', '\r', '\n', 'A', '\r', '\n'}, true, LayoutSaveOutcome::Refused},
        {"empty.fmt", {}, true, LayoutSaveOutcome::Saved},
        {"missing.fmt", {}, false, LayoutSaveOutcome::Saved},
    };
    for (const Case& c : cases) {
        const std::string path = folder.File(c.name);
        if (c.exists) {
            ASSERT_TRUE(grid_test::WriteBytes(path, c.contents));
        }
        Grid grid(host);
        Fill(grid);
        EXPECT_FALSE(grid.LoadLayout(path.c_str())) << c.name;
        TableStyle style = grid.GetTableStyle();
        style.cell_height = 60;
        grid.SetTableStyle(style);
        EXPECT_EQ(grid.Destroy(), c.outcome) << c.name;
        Bytes kept;
        ASSERT_TRUE(grid_test::ReadBytes(path, kept)) << c.name;
        LayoutFileHeader header;
        if (c.outcome == LayoutSaveOutcome::Refused) {
            EXPECT_EQ(kept, c.contents) << c.name;
        } else {
            EXPECT_TRUE(ParseLayoutFileHeader(kept.data(), kept.size(), header)) << c.name;
        }
    }
    // A file put at a missing layout file's path while the program ran is not replaced either.
    const std::string late = folder.File("late.fmt");
    Grid grid(host);
    Fill(grid);
    grid.LoadLayout(late.c_str());
    grid.Model().SetModified(true);
    const Bytes other = {'p', 'i', 'c', 't', 'u', 'r', 'e'};
    ASSERT_TRUE(grid_test::WriteBytes(late, other));
    EXPECT_EQ(grid.SaveModifiedLayout(), LayoutSaveOutcome::Refused);
    Bytes kept;
    ASSERT_TRUE(grid_test::ReadBytes(late, kept));
    EXPECT_EQ(kept, other);
}

TEST_F(GridWindowTest, EmptyOrOverlongPathsAreIgnored) {
    Grid grid(host);
    EXPECT_FALSE(grid.LoadLayout(""));
    EXPECT_FALSE(grid.LoadLayout(nullptr));
    EXPECT_FALSE(grid.LoadLayout(std::string(300, 'a').c_str()));
    EXPECT_STREQ(grid.Model().LayoutFilePath(), "");
    grid.Model().SetModified(true);
    EXPECT_FALSE(grid.SaveLayout(""));
    EXPECT_FALSE(grid.Model().IsModified());
}

}  // namespace
