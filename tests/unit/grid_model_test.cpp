// Tests of the grid model on fake devices: defaults, columns and titles, texts, style, font,
// rows and natural widths.
#include "grid/grid_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_measuring_device.h"
#include "render/text_layout.h"

namespace {

// Cells by (row key, store column identifier) for the cell text source.
std::map<std::pair<int, int>, std::string> g_cells;
int g_source_calls = 0;

int TestCellText(void*, int row_key, int column_identifier, char* buffer, int buffer_size) {
    ++g_source_calls;
    const auto found = g_cells.find({row_key, column_identifier});
    if (found == g_cells.end()) return 0;
    const int length = std::min(static_cast<int>(found->second.size()), buffer_size);
    std::memcpy(buffer, found->second.data(), static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

// The same cells read a column block at a time, as the program's table store hands them.
std::atomic<int> g_column_calls{0};
void TestColumnTexts(void*, int column_identifier, const std::uint32_t* row_keys, int count, char* texts,
                     std::uint8_t* lengths) {
    ++g_column_calls;
    for (int k = 0; k < count; ++k) {
        const auto found = g_cells.find({static_cast<int>(row_keys[k]), column_identifier});
        const std::string text = found != g_cells.end() ? found->second.substr(0, kCellTextLimit) : "";
        lengths[k] = static_cast<std::uint8_t>(text.size());
        if (texts == nullptr) continue;
        // What follows a text is not part of it: wide letters there would show in any width.
        std::memset(texts + k * kCellTextStride, 'W', kCellTextStride);
        std::memcpy(texts + k * kCellTextStride, text.data(), text.size());
    }
}

// One inch margins left and top, half an inch right and bottom, A4 portrait.
PrintSettings TestPrintSettings(void*) {
    PrintSettings settings = BuiltInPrintSettings();
    settings.left_margin = 2540;
    settings.top_margin = 2540;
    settings.right_margin = 1270;
    settings.bottom_margin = 1270;
    return settings;
}

class RecordingView : public GridView {
public:
    bool HasWindow() const override { return has_window; }
    void RefreshView() override { ++refreshes; }
    void Redraw() override { ++redraws; }
    bool has_window = false;
    int refreshes = 0;
    int redraws = 0;
};

GridColumnInfo InfoOf(const GridModel& model, int index) {
    GridColumnInfo info;
    model.GetColumnInfo(index, info);
    return info;
}

std::vector<std::string> Titles(const GridModel& model) {
    std::vector<std::string> titles;
    for (int i = 0; i < model.ColumnCount(); ++i) titles.emplace_back(model.ColumnTitleText(i));
    return titles;
}

class GridModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_cells.clear();
        g_source_calls = 0;
        g_column_calls = 0;
        model = std::make_unique<GridModel>(GridEnvironment{&screen, &print, &pictures, &TestPrintSettings});
        model->AttachView(&view);
    }

    // Both devices' runs of measurements all ended, and nothing was measured without the font.
    void ExpectDevicesTidy() {
        for (const FakeMeasuringDevice* device : {&screen, &print}) {
            EXPECT_EQ(device->selections, device->releases);
            EXPECT_FALSE(device->FontSelected());
            EXPECT_EQ(device->measurements_without_font, 0);
        }
    }

    int ScreenWidth(const std::string& text, bool bold = false) const {
        return screen.ExpectedWidth(text, model->GetFont(), bold);
    }
    int PrintWidth(const std::string& text, bool bold = false) const {
        return print.ExpectedWidth(text, model->GetFont(), bold);
    }
    int ScreenPad() const { return model->Metrics(GridDevice::Screen).text_inset + kScreenCellMargin; }
    int PrintPad() const { return model->Metrics(GridDevice::Print).text_inset + kPrintCellMargin; }

    FakeMeasuringDevice screen{6, 13, 96};
    FakeMeasuringDevice print{25, 50, 300};
    FakePictureSizes pictures;
    RecordingView view;
    std::unique_ptr<GridModel> model;
};

TEST_F(GridModelTest, NewGridHasOnlyTheRowNumberColumnAndDefaultStyle) {
    ASSERT_EQ(model->ColumnCount(), 1);
    EXPECT_EQ(model->ColumnSource(0), -1);
    EXPECT_TRUE(model->IsRowNumberColumn(0));
    EXPECT_TRUE(model->IsColumnVisible(0));
    EXPECT_EQ(model->ColumnTitleText(0), "No");
    const GridColumnInfo info = InfoOf(*model, 0);
    EXPECT_EQ(+info.alignment, static_cast<std::uint32_t>(kAlignRight));
    EXPECT_EQ(+info.flags, ColumnFlags::Visible);
    EXPECT_EQ(+info.max_lines, 0u);
    EXPECT_STREQ(info.title, "No");

    const TableStyle style = model->GetTableStyle();
    const std::uint8_t expected_style[8] = {1, 0, 0, 3, 6, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&style, expected_style, 8), 0);

    EXPECT_FALSE(model->IsModified());
    EXPECT_STREQ(model->GetHeaderText(), "");
    EXPECT_STREQ(model->GetFooterText(), "");
    EXPECT_EQ(model->GetHeaderText() - model->ColumnTitleText(0).data(), 3);
    EXPECT_EQ(model->GetFooterText() - model->ColumnTitleText(0).data(), 4);
    EXPECT_EQ(model->LineCount(), 0);
    EXPECT_FALSE(model->GetCellTextSource().Present());
    EXPECT_STREQ(model->LayoutFilePath(), "");
    const FontSpec font = model->GetFont();
    EXPECT_STREQ(font.face_name, "MS Sans Serif");
    EXPECT_EQ(font.size, 100);
    EXPECT_EQ(font.char_set, 1u);
    ExpectDevicesTidy();
}

TEST_F(GridModelTest, MetricsAreMeasuredOnEachDeviceWithTheTableFont) {
    const DeviceMetrics& on_screen = model->Metrics(GridDevice::Screen);
    const DeviceMetrics& on_paper = model->Metrics(GridDevice::Print);
    EXPECT_EQ(on_screen.font_height, 13);
    EXPECT_EQ(on_paper.font_height, 50);
    EXPECT_EQ(on_screen.text_inset, 6);  // width of "o"
    EXPECT_EQ(on_paper.text_inset, 25);
    EXPECT_EQ(on_screen.cell_padding, 0);
    EXPECT_EQ(on_paper.cell_padding, 0);
    EXPECT_EQ(on_screen.rule_width, 1);
    EXPECT_EQ(on_paper.rule_width, 1);
    // The page in each device's pixels: 21000 x 29700 hundredths of a millimetre, 1 inch left
    // and top margins, half an inch right and bottom.
    EXPECT_EQ(on_screen.page.paper_width, 794);
    EXPECT_EQ(on_screen.page.left_margin, 96);
    EXPECT_EQ(on_screen.page.right_margin, 48);
    EXPECT_EQ(on_paper.page.paper_width, 2480);
    EXPECT_EQ(on_paper.page.paper_height, 3508);
    EXPECT_EQ(on_paper.page.top_margin, 300);
    EXPECT_EQ(on_paper.page.bottom_margin, 150);

    // The row-number column is as wide as its title plus inset and margin on each device.
    EXPECT_EQ(model->Column(0)->width, ScreenWidth("No") + 6 + 2);
    EXPECT_EQ(model->Column(0)->print_width, PrintWidth("No") + 25 + 2);
    EXPECT_EQ(model->TableWidth(), 1 + model->Column(0)->width + 1);
}

TEST_F(GridModelTest, AModelWithoutDevicesStillKeepsColumns) {
    GridModel bare;
    EXPECT_EQ(bare.ColumnCount(), 1);
    EXPECT_TRUE(bare.AddColumn(11, "Name"));
    EXPECT_EQ(bare.Column(1)->width, 2);  // only the cell margin: nothing takes room
    bare.ApplyNaturalWidths();
    EXPECT_EQ(bare.Column(1)->width, 2);
}

TEST_F(GridModelTest, AddColumnAppendsTitlesBeforeHeaderAndFooter) {
    ASSERT_TRUE(model->SetHeaderText("Head"));
    ASSERT_TRUE(model->SetFooterText("Foot"));
    ASSERT_TRUE(model->AddColumn(11, "Name"));
    ASSERT_TRUE(model->AddColumn(12, ""));
    ASSERT_TRUE(model->AddColumn(13, "Сума"));
    ASSERT_TRUE(model->AddColumn(14, nullptr));

    EXPECT_EQ(model->ColumnCount(), 5);
    EXPECT_EQ(Titles(*model), (std::vector<std::string>{"No", "Name", "", "Сума", ""}));
    const std::uint32_t expected_offsets[] = {0, 3, 8, 9, 14};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(model->Column(i)->title_offset, expected_offsets[i]) << i;
    const char* pool = model->ColumnTitleText(0).data();
    EXPECT_EQ(model->GetHeaderText() - pool, 15);
    EXPECT_EQ(model->GetFooterText() - pool, 20);
    EXPECT_STREQ(model->GetHeaderText(), "Head");
    EXPECT_STREQ(model->GetFooterText(), "Foot");

    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(model->ColumnSource(i), 10 + i);
        EXPECT_FALSE(model->IsRowNumberColumn(i));
        EXPECT_TRUE(model->IsColumnVisible(i));
        EXPECT_EQ(+InfoOf(*model, i).alignment, static_cast<std::uint32_t>(kAlignLeft));
    }
    // Widened to the whole title as one line; an empty title leaves the width at 0.
    EXPECT_EQ(model->Column(1)->width, ScreenWidth("Name") + ScreenPad());
    EXPECT_EQ(model->Column(1)->print_width, PrintWidth("Name") + PrintPad());
    EXPECT_EQ(model->Column(3)->width, ScreenWidth("Сума") + ScreenPad());
    EXPECT_EQ(model->Column(2)->width, 0);
    EXPECT_EQ(model->Column(2)->print_width, 0);
    // AddColumn marks the layout dirty and keeps the table width, but is not a modification.
    EXPECT_TRUE(model->IsLayoutDirty());
    EXPECT_FALSE(model->IsModified());
    int expected_table = 1;
    for (int i = 0; i < 5; ++i) expected_table += model->Column(i)->width + 1;
    EXPECT_EQ(model->TableWidth(), expected_table);
    ExpectDevicesTidy();
}

TEST_F(GridModelTest, GettersOutOfRangeGiveNothing) {
    for (int index : {-1, 1, 1000}) {
        EXPECT_EQ(model->ColumnSource(index), 0);
        EXPECT_FALSE(model->IsRowNumberColumn(index));
        EXPECT_FALSE(model->IsColumnVisible(index));
        EXPECT_EQ(model->Column(index), nullptr);
        char title[8] = "xxxxxxx";
        model->ColumnTitle(index, title, 7);
        EXPECT_STREQ(title, "");
        GridColumnInfo info;
        std::memset(&info, 0xAB, sizeof info);
        model->GetColumnInfo(index, info);
        const GridColumnInfo zero{};
        EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
        EXPECT_FALSE(model->SetColumnInfo(index, zero));
    }
    EXPECT_FALSE(model->IsModified());
}

TEST_F(GridModelTest, ColumnTitleCopiesAtMostMaxCharacters) {
    model->AddColumn(11, "Population");
    char buffer[16];
    model->ColumnTitle(1, buffer, 3);
    EXPECT_STREQ(buffer, "Pop");
    model->ColumnTitle(1, buffer, 15);
    EXPECT_STREQ(buffer, "Population");
    model->ColumnTitle(1, buffer, 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(GridModelTest, LongTitlesAreCutTo128InTheInfoRecord) {
    const std::string long_title(200, 'x');
    ASSERT_TRUE(model->AddColumn(11, long_title.c_str()));
    EXPECT_EQ(model->ColumnTitleText(1), long_title);  // the pool keeps the whole title
    const GridColumnInfo info = InfoOf(*model, 1);
    EXPECT_EQ(std::string(info.title), std::string(128, 'x'));

    // A title field without a terminator gives 128 characters, not a read past the record.
    GridColumnInfo unterminated = info;
    std::memset(unterminated.title, 'y', sizeof unterminated.title);
    ASSERT_TRUE(model->SetColumnInfo(1, unterminated));
    EXPECT_EQ(model->ColumnTitleText(1), std::string(128, 'y'));
}

struct MaxLinesCase {
    std::uint32_t given;
    std::int32_t stored;
};

TEST_F(GridModelTest, SetColumnInfoStoresMaxLinesBelowTwoAsNoLimit) {
    const MaxLinesCase cases[] = {{0, 0}, {1, 0}, {2, 2}, {7, 7}, {0xFFFFFFFFu, 0}, {0x80000000u, 0}};
    model->AddColumn(11, "Text");
    for (const MaxLinesCase& c : cases) {
        GridColumnInfo info = InfoOf(*model, 1);
        info.max_lines = c.given;
        ASSERT_TRUE(model->SetColumnInfo(1, info));
        EXPECT_EQ(model->Column(1)->max_lines, c.stored) << c.given;
        EXPECT_EQ(+InfoOf(*model, 1).max_lines, static_cast<std::uint32_t>(c.stored));
    }
}

TEST_F(GridModelTest, SetColumnInfoSetsModifiedOnlyForRealChanges) {
    struct Change {
        const char* what;
        void (*apply)(GridColumnInfo&);
        bool modifies;
    };
    const Change changes[] = {
        {"nothing", [](GridColumnInfo&) {}, false},
        {"max lines 1 where none", [](GridColumnInfo& i) { i.max_lines = 1; }, false},
        {"flags", [](GridColumnInfo& i) { i.flags |= ColumnFlags::TextFlow; }, true},
        {"alignment", [](GridColumnInfo& i) { i.alignment = kAlignCenter; }, true},
        {"max lines", [](GridColumnInfo& i) { i.max_lines = 3; }, true},
        {"type", [](GridColumnInfo& i) { i.type = ColumnType::Date; }, true},
        {"title text, same length", [](GridColumnInfo& i) { std::strcpy(i.title, "Texu"); }, true},
        {"title length", [](GridColumnInfo& i) { std::strcpy(i.title, "Tex"); }, true},
    };
    for (const Change& change : changes) {
        SetUp();
        model->AddColumn(11, "Text");
        GridColumnInfo info = InfoOf(*model, 1);
        change.apply(info);
        model->SetColumnInfo(1, info);
        EXPECT_EQ(model->IsModified(), change.modifies) << change.what;
        GridColumnInfo back = InfoOf(*model, 1);
        if (info.max_lines < 2) info.max_lines = 0;
        EXPECT_EQ(std::memcmp(&back, &info, sizeof info), 0) << change.what;
    }
}

TEST_F(GridModelTest, ReplacingATitleMovesTheOffsetsAfterIt) {
    model->AddColumn(11, "Alpha");
    model->AddColumn(12, "Beta");
    model->AddColumn(13, "Gamma");
    model->SetHeaderText("Left\tRight");
    model->SetFooterText("Bottom");
    const int widths_before = model->Column(2)->width;

    struct Replacement {
        int column;
        const char* title;
    };
    const Replacement replacements[] = {
        {2, "A much longer title"}, {1, ""}, {3, "G"}, {0, "Number"}, {2, "B"}, {1, "Alpha again"},
    };
    std::vector<std::string> expected = {"No", "Alpha", "Beta", "Gamma"};
    for (const Replacement& r : replacements) {
        GridColumnInfo info = InfoOf(*model, r.column);
        std::strcpy(info.title, r.title);
        ASSERT_TRUE(model->SetColumnInfo(r.column, info));
        expected[static_cast<std::size_t>(r.column)] = r.title;
        EXPECT_EQ(Titles(*model), expected) << r.title;
        // The pool stays packed: each title right after the previous one's terminator, then
        // the header and the footer.
        const char* pool = model->ColumnTitleText(0).data();
        std::uint32_t offset = 0;
        for (int i = 0; i < model->ColumnCount(); ++i) {
            EXPECT_EQ(model->Column(i)->title_offset, offset) << r.title << " column " << i;
            offset += static_cast<std::uint32_t>(expected[static_cast<std::size_t>(i)].size()) + 1;
        }
        EXPECT_EQ(model->GetHeaderText() - pool, static_cast<std::ptrdiff_t>(offset));
        EXPECT_EQ(model->GetFooterText() - pool, static_cast<std::ptrdiff_t>(offset + 11));
        EXPECT_STREQ(model->GetHeaderText(), "Left\tRight");
        EXPECT_STREQ(model->GetFooterText(), "Bottom");
    }
    // Widths are left for the caller to recompute.
    EXPECT_EQ(model->Column(2)->width, widths_before);
}

TEST_F(GridModelTest, HeaderAndFooterAreReplacedInPlace) {
    model->AddColumn(11, "Name");
    ASSERT_TRUE(model->SetFooterText("Page footer"));
    const std::string three_lines = "Left header text 1\tRight header text 1\r\nLine 2\r\nLine 3";
    ASSERT_TRUE(model->SetHeaderText(three_lines));
    EXPECT_EQ(model->GetHeaderText(), three_lines);
    EXPECT_STREQ(model->GetFooterText(), "Page footer");
    EXPECT_EQ(model->GetFooterText() - model->GetHeaderText(), static_cast<std::ptrdiff_t>(three_lines.size() + 1));

    ASSERT_TRUE(model->SetHeaderText("H"));
    EXPECT_STREQ(model->GetHeaderText(), "H");
    EXPECT_STREQ(model->GetFooterText(), "Page footer");
    ASSERT_TRUE(model->SetFooterText(""));
    EXPECT_STREQ(model->GetFooterText(), "");
    EXPECT_STREQ(model->GetHeaderText(), "H");
    // A text from the pool itself, and a text with a NUL inside (cut there).
    ASSERT_TRUE(model->SetFooterText(model->GetHeaderText()));
    EXPECT_STREQ(model->GetFooterText(), "H");
    ASSERT_TRUE(model->SetHeaderText(std::string_view("ab\0cd", 5)));
    EXPECT_STREQ(model->GetHeaderText(), "ab");
    EXPECT_STREQ(model->GetFooterText(), "H");
    EXPECT_EQ(Titles(*model), (std::vector<std::string>{"No", "Name"}));
    // Neither text is part of the layout file.
    EXPECT_FALSE(model->IsModified());
}

TEST_F(GridModelTest, VisibilityIsOneBytePerColumn) {
    model->AddColumn(11, "A");
    model->AddColumn(12, "B");
    EXPECT_EQ(model->GetVisibility(), (std::vector<std::uint8_t>{1, 1, 1}));

    const std::uint8_t same[] = {1, 7, 1};
    EXPECT_FALSE(model->SetVisibility(same, 3));
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(view.redraws, 0);

    const int width_before = model->TableWidth();
    const std::uint8_t hide_b[] = {1, 1, 0};
    EXPECT_TRUE(model->SetVisibility(hide_b, 3));
    EXPECT_EQ(model->GetVisibility(), (std::vector<std::uint8_t>{1, 1, 0}));
    EXPECT_TRUE(model->IsModified());
    EXPECT_EQ(model->TableWidth(), width_before - model->Column(2)->width - 1);
    EXPECT_EQ(view.redraws, 1);
    EXPECT_EQ(view.refreshes, 1);

    // Fewer bytes than columns change only those columns.
    const std::uint8_t hide_first[] = {0};
    EXPECT_TRUE(model->SetVisibility(hide_first, 1));
    EXPECT_EQ(model->GetVisibility(), (std::vector<std::uint8_t>{0, 1, 0}));
}

TEST_F(GridModelTest, SetTableStyleRecomputesMetricsAndRuleWidths) {
    TableStyle same = model->GetTableStyle();
    model->SetTableStyle(same);
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(view.redraws, 1);

    TableStyle style = same;
    style.line_type = LineType::Double;
    style.cell_height = 40;
    style.flags |= TableFlags::BoldHeader;
    model->SetTableStyle(style);
    EXPECT_TRUE(model->IsModified());
    const TableStyle back = model->GetTableStyle();
    EXPECT_EQ(std::memcmp(&back, &style, sizeof style), 0);
    EXPECT_EQ(model->Metrics(GridDevice::Screen).rule_width, 3);
    EXPECT_EQ(model->Metrics(GridDevice::Print).rule_width, 3);
    EXPECT_EQ(model->Metrics(GridDevice::Screen).cell_padding, 40 * 13 / 200);
    EXPECT_EQ(model->Metrics(GridDevice::Print).cell_padding, 40 * 50 / 200);
    EXPECT_EQ(model->TableWidth(), 3 + model->Column(0)->width + 3);
    ExpectDevicesTidy();
}

TEST_F(GridModelTest, SetFontComparesTheFirst54Bytes) {
    const FontSpec original = model->GetFont();
    FontSpec tail_only = original;
    tail_only.reserved_last = 0xABCD0000u;  // bytes 54 and 55 only
    model->SetFont(tail_only);
    EXPECT_FALSE(model->IsModified());
    const FontSpec kept = model->GetFont();
    EXPECT_EQ(std::memcmp(&kept, &original, sizeof kept), 0);
    EXPECT_EQ(view.redraws, 0);

    FontSpec bigger = original;
    bigger.size = 200;
    model->SetFont(bigger);
    EXPECT_TRUE(model->IsModified());
    EXPECT_EQ(model->GetFont().size, 200);
    EXPECT_EQ(model->Metrics(GridDevice::Screen).font_height, 26);
    EXPECT_EQ(model->Metrics(GridDevice::Print).text_inset, 50);
    EXPECT_EQ(view.redraws, 1);
}

TEST_F(GridModelTest, StoreFontChangesNothingElse) {
    FontSpec font = model->GetFont();
    font.size = 300;
    std::memset(font.face_name, 'F', sizeof font.face_name);  // no terminator
    model->StoreFont(font);
    EXPECT_EQ(model->GetFont().size, 300);
    EXPECT_EQ(std::strlen(model->GetFont().face_name), 31u);
    EXPECT_EQ(model->Metrics(GridDevice::Screen).font_height, 13);  // not measured again
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(view.redraws, 0);
    model->Reformat();
    EXPECT_EQ(model->Metrics(GridDevice::Screen).font_height, 39);
}

TEST_F(GridModelTest, SetRowCountMakesOneDataRowPerRow) {
    struct Case {
        int rows;
        bool horizontal_lines;
        bool window;
        int expected_rows;
    };
    const Case cases[] = {{3, true, true, 3}, {5, false, false, 5}, {0, true, true, 0}, {-4, true, false, 0}};
    for (const Case& c : cases) {
        SetUp();
        TableStyle style = model->GetTableStyle();
        if (!c.horizontal_lines) style.flags &= ~static_cast<std::uint32_t>(TableFlags::HorzLines);
        model->SetTableStyle(style);
        view.has_window = c.window;
        model->SetLayoutDirty(false);
        model->ViewState().top_line = 7;
        model->ViewState().top_sub_line = 2;

        model->SetRowCount(c.rows);
        EXPECT_EQ(model->RowCount(), std::max(c.rows, 0));
        // The page's own lines (titles, column numbers) stand around the rows; the rows keep
        // their keys in order and get rules between them only with HorzLines.
        std::vector<LayoutLine> rows;
        int text_lines = 0;
        for (int i = 0; i < model->LineCount(); ++i) {
            const LayoutLine line = model->Line(i);
            text_lines += line.height;
            if (line.kind == LineKind::DataRow) rows.push_back(line);
        }
        ASSERT_EQ(static_cast<int>(rows.size()), c.expected_rows) << c.rows;
        for (int i = 0; i < c.expected_rows; ++i) {
            EXPECT_EQ(+rows[i].key, static_cast<std::uint32_t>(i));
            EXPECT_EQ(+rows[i].ordinal, static_cast<std::uint32_t>(i + 1));
            EXPECT_EQ(+rows[i].height, 1);
            const bool last = i + 1 == c.expected_rows;
            if (!last) {
                EXPECT_EQ((rows[i].flags & LineFlags::RuleBelow) != 0, c.horizontal_lines) << i;
            }
        }
        EXPECT_EQ(model->ViewState().top_line, 0);
        EXPECT_EQ(model->ViewState().top_sub_line, 0);
        EXPECT_EQ(model->ViewState().total_text_lines, text_lines);
        EXPECT_EQ(model->IsLayoutDirty(), c.window);
    }
    // A second call replaces the lines.
    model->SetRowCount(4);
    model->SetRowCount(2);
    int data_rows = 0;
    for (int i = 0; i < model->LineCount(); ++i) data_rows += model->Line(i).kind == LineKind::DataRow;
    EXPECT_EQ(data_rows, 2);
}

TEST_F(GridModelTest, ClearLeavesOnlyTheRowNumberColumn) {
    model->AddColumn(11, "A");
    model->AddColumn(12, "B");
    model->SetHeaderText("Header");
    model->SetFooterText("Footer");
    model->SetRowCount(10);
    model->ViewState().horizontal_offset = -40;
    model->ViewState().top_line = 3;

    model->Clear();
    EXPECT_EQ(model->ColumnCount(), 1);
    EXPECT_EQ(Titles(*model), (std::vector<std::string>{"No"}));
    EXPECT_TRUE(model->IsRowNumberColumn(0));
    EXPECT_STREQ(model->GetHeaderText(), "");
    EXPECT_STREQ(model->GetFooterText(), "");
    EXPECT_EQ(model->GetFooterText() - model->GetHeaderText(), 1);
    EXPECT_EQ(model->LineCount(), 0);
    EXPECT_EQ(model->ViewState().horizontal_offset, 0);
    EXPECT_EQ(model->ViewState().top_line, 0);
    // The grid is usable again.
    ASSERT_TRUE(model->AddColumn(11, "C"));
    EXPECT_EQ(model->Column(1)->title_offset, 3u);
}

TEST_F(GridModelTest, CellTextComesFromTheSourceWithinTheBufferLimit) {
    model->AddColumn(11, "A");
    model->SetCellTextSource(&TestCellText, nullptr);
    g_cells[{0, 11}] = "first";
    g_cells[{1, 11}] = std::string(300, 'z');
    LayoutLine line{};
    line.kind = LineKind::DataRow;
    char buffer[kCellTextLimit + 1];

    EXPECT_EQ(model->CellText(line, 1, buffer), 5);
    EXPECT_STREQ(buffer, "first");
    line.key = 1;
    EXPECT_EQ(model->CellText(line, 1, buffer), kCellTextLimit);
    EXPECT_EQ(std::strlen(buffer), static_cast<std::size_t>(kCellTextLimit));
    // The row-number column shows the ordinal, and nothing while it is 0; it never asks the source.
    const int calls = g_source_calls;
    EXPECT_EQ(model->CellText(line, 0, buffer), 0);
    line.ordinal = 1234;
    EXPECT_EQ(model->CellText(line, 0, buffer), 4);
    EXPECT_STREQ(buffer, "1234");
    EXPECT_EQ(g_source_calls, calls);
    EXPECT_EQ(model->CellText(line, 9, buffer), 0);
    EXPECT_STREQ(buffer, "");
}

int LyingCellText(void*, int row_key, int, char* buffer, int) {
    buffer[0] = 'q';
    return row_key == 0 ? -7 : 100000;
}

TEST_F(GridModelTest, CellTextLengthsFromASourceAreHeldToTheBuffer) {
    model->AddColumn(11, "A");
    model->SetCellTextSource(&LyingCellText, nullptr);
    LayoutLine line{};
    char buffer[kCellTextLimit + 1];
    EXPECT_EQ(model->CellText(line, 1, buffer), 0);
    EXPECT_STREQ(buffer, "");
    line.key = 1;
    EXPECT_EQ(model->CellText(line, 1, buffer), kCellTextLimit);
    EXPECT_EQ(buffer[kCellTextLimit], '\0');
}

// --- Natural widths ----------------------------------------------------------------------

struct NaturalWidthCase {
    const char* what;
    std::uint32_t flags;
    std::int32_t max_lines;
    std::int32_t type;
    const char* title;
    std::vector<std::string> cells;
    std::string screen_widest;  // the text whose plain screen width is the natural width
    std::string print_widest;   // the same on the printer
    bool bold;
    bool hidden;
};

TEST_F(GridModelTest, NaturalWidthsFollowTheColumnKind) {
    // More rows than are read at a time, the widest in a later block.
    std::vector<std::string> many(700, "abc");
    many[599] = "abc wwww";
    many[650] = "";
    const NaturalWidthCase cases[] = {
        {"many rows", 0, 0, ColumnType::Text, "", many, "abc wwww", "abc wwww", false, false},
        {"many rows in bold", ColumnFlags::Bold, 0, ColumnType::Text, "", many, "abc wwww", "abc wwww", true,
         false},
        // Wide enough for its total too, which prints in bold.
        {"summed column", ColumnFlags::Sum, 0, ColumnType::Text, "", {"12,50", "1 000,50"}, "1 013,00",
         "1 013,00", true, false},
        {"single line: longest cell", 0, 0, ColumnType::Text, "Name", {"Ann", "Bartholomew Smith", ""},
         "Bartholomew Smith", "Bartholomew Smith", false, false},
        {"title words only when the cells are narrower", 0, 0, ColumnType::Text, "Long headline",
         {"a", "bc"}, "headline", "headline", false, false},
        {"bold cells", ColumnFlags::Bold, 0, ColumnType::Text, "", {"abc def"}, "abc def", "abc def", true, false},
        {"wrapped without a limit: widest word", ColumnFlags::TextFlow, 0, ColumnType::Text, "",
         {"one three fifteen", "xy"}, "fifteen", "fifteen", false, false},
        {"abbreviated on the printer's width", ColumnFlags::Abbreviate, 0, ColumnType::Text, "",
         {"Иван Петров Иванов"}, "И. Иванов", "И. Иванов", false, false},
        // The printer's room is the widest word + "A. A. " - 2 (546 pixels here): one name just
        // fits without its middle initial, a slightly longer one does not.
        {"abbreviated just within the room", ColumnFlags::Abbreviate, 0, ColumnType::Text, "",
         {"Ивановски Петров Bob"}, "Ивановски Bob", "Ивановски Bob", false, false},
        {"abbreviated just beyond the room", ColumnFlags::Abbreviate, 0, ColumnType::Text, "",
         {"Ивановски Петров Bobb"}, "И. П. Bobb", "И. П. Bobb", false, false},
        {"hidden columns count too", 0, 0, ColumnType::Text, "", {"hidden text"}, "hidden text",
         "hidden text", false, true},
        {"all empty", 0, 0, ColumnType::Text, "", {"", ""}, "", "", false, false},
    };
    // Each case measured text by text, then with both devices' byte widths added up, then with
    // only the screen's (a printer whose widths do not add up); the last once more from a source
    // that reads a column block at a time.
    for (int advances = 0; advances < 4; ++advances)
    for (const NaturalWidthCase& c : cases) {
        SetUp();
        screen.offers_byte_advances = advances > 0 && advances != 2;
        print.offers_byte_advances = advances == 1 || advances == 3;
        model->SetCellTextSource(&TestCellText, nullptr, advances == 3 ? &TestColumnTexts : nullptr);
        ASSERT_TRUE(model->AddColumn(11, c.title));
        GridColumnInfo info = InfoOf(*model, 1);
        info.flags = c.hidden ? c.flags : (c.flags | ColumnFlags::Visible);
        info.max_lines = static_cast<std::uint32_t>(c.max_lines);
        info.type = static_cast<std::uint32_t>(c.type);
        model->SetColumnInfo(1, info);
        for (std::size_t row = 0; row < c.cells.size(); ++row) g_cells[{static_cast<int>(row), 11}] = c.cells[row];
        model->SetRowCount(static_cast<int>(c.cells.size()));
        model->SetModified(false);

        model->ApplyNaturalWidths();
        const GridColumn& column = *model->Column(1);
        EXPECT_EQ(column.natural_width, ScreenWidth(c.screen_widest, c.bold) + ScreenPad()) << c.what << advances;
        EXPECT_EQ(column.print_natural_width, PrintWidth(c.print_widest, c.bold) + PrintPad()) << c.what << advances;
        EXPECT_EQ(column.width, column.natural_width) << c.what;
        EXPECT_EQ(column.print_width, column.print_natural_width) << c.what;
        EXPECT_TRUE(model->IsModified()) << c.what;
        ExpectDevicesTidy();
        // Plain, bold and summed text columns are read by column when the source can: the
        // column reads skip the sum lines, whose widths come from the sums themselves.
        const bool by_column = advances == 3 && (c.flags & ~(ColumnFlags::Bold | ColumnFlags::Sum)) == 0 &&
                               c.type == ColumnType::Text;
        EXPECT_EQ(g_column_calls > 0, by_column) << c.what;
        if (c.flags & ColumnFlags::Sum) {
            // No longer summed: as wide as its widest cell again.
            info.flags &= ~ColumnFlags::Sum;
            model->SetColumnInfo(1, info);
            model->ApplyNaturalWidths();
            EXPECT_EQ(model->Column(1)->width, ScreenWidth("1 000,50", false) + ScreenPad()) << advances;
            EXPECT_EQ(model->Column(1)->print_width, PrintWidth("1 000,50", false) + PrintPad()) << advances;
        }
    }
}

// A big table is measured on two threads: the widths are those measured cell by cell, with the
// widest texts in either half of the rows, on both devices, in plain and bold columns and the
// (bold) row numbers.
TEST_F(GridModelTest, NaturalWidthsOfABigTableAreTheSameOnTwoThreads) {
    screen.offers_byte_advances = true;
    print.offers_byte_advances = true;
    const int rows = 60001;
    for (int row = 0; row < rows; ++row) {
        g_cells[{row, 11}] = "r" + std::to_string(row % 1000);
        g_cells[{row, 12}] = row % 3 == 0 ? "" : "bold";
        g_cells[{row, 13}] = "one two";
        g_cells[{row, 14}] = "1";
    }
    g_cells[{45000, 11}] = "WWWW wide";  // in the second half
    g_cells[{7, 12}] = "bold and wider";  // in the first
    g_cells[{60000, 13}] = "one two three four";
    model->AddColumn(11, "");
    model->AddColumn(12, "");
    model->AddColumn(13, "");
    model->AddColumn(14, "");  // summed: its end total is a line among the rows
    for (int index : {0, 2, 3, 4}) {
        GridColumnInfo info = InfoOf(*model, index);
        info.flags |= index <= 2 ? ColumnFlags::Bold : index == 3 ? ColumnFlags::TextFlow : ColumnFlags::Sum;
        model->SetColumnInfo(index, info);
    }
    std::vector<std::pair<int, int>> widths[2];
    for (int by_column = 0; by_column < 2; ++by_column) {
        model->SetCellTextSource(&TestCellText, nullptr, by_column ? &TestColumnTexts : nullptr);
        model->SetRowCount(rows);
        model->ApplyNaturalWidths();
        for (int index = 1; index <= 4; ++index) {
            widths[by_column].emplace_back(model->Column(index)->natural_width, model->Column(index)->print_natural_width);
        }
        widths[by_column].emplace_back(model->Column(0)->natural_width, model->Column(0)->print_natural_width);
    }
    EXPECT_EQ(widths[1], widths[0]);
    EXPECT_EQ(widths[1][4], std::make_pair(ScreenWidth("60001", true) + ScreenPad(), PrintWidth("60001", true) + PrintPad()));
    EXPECT_EQ(widths[1][3], std::make_pair(ScreenWidth("60 001", true) + ScreenPad(), PrintWidth("60 001", true) + PrintPad()));
    EXPECT_EQ(widths[1][0], std::make_pair(ScreenWidth("WWWW wide") + ScreenPad(), PrintWidth("WWWW wide") + PrintPad()));
    EXPECT_EQ(widths[1][1],
              std::make_pair(ScreenWidth("bold and wider", true) + ScreenPad(), PrintWidth("bold and wider", true) + PrintPad()));
    EXPECT_EQ(widths[1][2], std::make_pair(ScreenWidth("three") + ScreenPad(), PrintWidth("three") + PrintPad()));
    ExpectDevicesTidy();
}

TEST_F(GridModelTest, WrappedColumnWithALineLimitTakesTheFirstStepThatFits) {
    model->SetCellTextSource(&TestCellText, nullptr);
    model->AddColumn(11, "");
    GridColumnInfo info = InfoOf(*model, 1);
    info.flags |= ColumnFlags::TextFlow;
    info.max_lines = 2;
    model->SetColumnInfo(1, info);
    const std::string cell = "ab cd ef";
    g_cells[{0, 11}] = cell;
    model->SetRowCount(1);
    model->ApplyNaturalWidths();

    // On each device: the widest word plus a whole number of widths of "i", the first such
    // width at which the cell takes at most two lines, not the width of the whole text.
    struct Side {
        FakeMeasuringDevice& device;
        int text_width;
    };
    const Side sides[] = {{screen, model->Column(1)->width - ScreenPad()},
                          {print, model->Column(1)->print_width - PrintPad()}};
    for (const Side& side : sides) {
        side.device.SelectFont(model->GetFont());
        const TextMeter& meter = side.device.Meter();
        const int widest = WidestWordWidth(meter, cell.data(), cell.size());
        const int step = meter.Width("i", 1);
        EXPECT_EQ((side.text_width - widest) % step, 0);
        EXPECT_LE(CountWrappedLines(meter, cell.data(), cell.size(), side.text_width), 2);
        EXPECT_EQ(CountWrappedLines(meter, cell.data(), cell.size(), side.text_width - step), 3);
        EXPECT_LT(side.text_width, meter.Width(cell.data(), cell.size()));
        side.device.ReleaseFont();
    }
}

TEST_F(GridModelTest, RowsWithNaturalWidthsPaginateOnceAsRowsThenWidthsDo) {
    // A wrapped column and 1000 rows: the row numbers up to "1000" widen their column, and
    // the rows' heights follow the widths found, not the widths before them.
    auto lay_out = [&](bool at_once) {
        SetUp();
        model->SetCellTextSource(&TestCellText, nullptr);
        model->AddColumn(11, "Text");
        GridColumnInfo info = InfoOf(*model, 1);
        info.flags |= ColumnFlags::TextFlow;
        model->SetColumnInfo(1, info);
        model->MutableColumn(1)->print_width = 40;
        g_cells[{0, 11}] = "aaa bbb ccc";
        g_cells[{999, 11}] = "longestword";
        if (at_once) {
            EXPECT_TRUE(model->SetRowCountAndNaturalWidths(1000));
        } else {
            EXPECT_TRUE(model->SetRowCount(1000));
            model->ApplyNaturalWidths();
        }
        std::vector<LayoutLine> lines;
        for (int i = 0; i < model->LineCount(); ++i) lines.push_back(model->Line(i));
        return lines;
    };
    const std::vector<LayoutLine> stepwise = lay_out(false);
    const std::vector<LayoutLine> at_once = lay_out(true);
    EXPECT_EQ(model->Column(0)->width, ScreenWidth("1000", false) + ScreenPad());
    EXPECT_EQ(model->Column(1)->print_width, PrintWidth("longestword", false) + PrintPad());
    ASSERT_EQ(at_once.size(), stepwise.size());
    EXPECT_EQ(std::memcmp(at_once.data(), stepwise.data(), at_once.size() * sizeof(LayoutLine)), 0);
    // "aaa bbb ccc" fits the width of "longestword" in one line, as every other row does.
    int rows = 0;
    for (const LayoutLine& line : at_once) {
        if (line.kind != LineKind::DataRow) continue;
        const int height = line.height;
        const std::uint32_t ordinal = line.ordinal;  // copied: the record is packed
        EXPECT_EQ(height, 1);
        EXPECT_EQ(ordinal, static_cast<std::uint32_t>(++rows));
    }
    EXPECT_EQ(rows, 1000);
    EXPECT_GT(model->PageCount(), 1);
    ExpectDevicesTidy();
}

TEST_F(GridModelTest, BoldHeaderMeasuresTitlesInBold) {
    model->AddColumn(11, "Wide title");
    TableStyle style = model->GetTableStyle();
    style.flags |= TableFlags::BoldHeader;
    model->SetTableStyle(style);
    model->ApplyNaturalWidths();
    EXPECT_EQ(model->Column(1)->width, ScreenWidth("title", true) + ScreenPad());
    EXPECT_EQ(model->Column(1)->print_width, PrintWidth("title", true) + PrintPad());
    // The row-number column has no ordinals before pagination: only its title counts.
    EXPECT_EQ(model->Column(0)->width, ScreenWidth("No", true) + ScreenPad());
}

TEST_F(GridModelTest, NaturalWidthsTakeTheInsetOfAFontStoredSinceTheLastMeasure) {
    // A data file's head stores a 20-point font, which nothing has measured yet.
    FontSpec font = model->GetFont();
    font.size = 200;
    model->StoreFont(font);
    model->AddColumn(11, "Wide");
    model->ApplyNaturalWidths();
    // "Wide" is 42 pixels on screen and 174 on paper; "o" in that font 12 and 50; margin 2.
    EXPECT_EQ(model->Column(1)->width, 56);
    EXPECT_EQ(model->Column(1)->print_width, 226);
}

TEST_F(GridModelTest, ColumnChangesThatMoveRowsLayTheTableOutAgain) {
    model->SetCellTextSource(&TestCellText, nullptr);
    model->AddColumn(11, "Text");
    g_cells[{0, 11}] = "aaa bbb ccc ddd eee";
    model->SetRowCount(2);
    // 162 pixels of text on paper: "aaa bbb" to a line.
    model->MutableColumn(1)->print_width = 189;
    auto heights = [&] {
        std::vector<int> result;
        for (int i = 0; i < model->LineCount(); ++i) {
            if (model->Line(i).kind == LineKind::DataRow) result.push_back(model->Line(i).height);
        }
        return result;
    };
    const int refreshes = view.refreshes;
    GridColumnInfo info = InfoOf(*model, 1);
    info.alignment = kAlignRight;
    model->SetColumnInfo(1, info);
    EXPECT_EQ(view.refreshes, refreshes);  // the alignment moves no row

    info.flags |= ColumnFlags::TextFlow;
    model->SetColumnInfo(1, info);
    EXPECT_EQ(heights(), (std::vector<int>{3, 1}));
    EXPECT_EQ(view.refreshes, refreshes + 1);

    std::vector<GridColumnInfo> all{InfoOf(*model, 0), InfoOf(*model, 1)};
    all[1].max_lines = 2;
    model->SetAllColumnInfo(all.data(), 2);
    EXPECT_EQ(heights(), (std::vector<int>{2, 1}));

    const std::uint8_t hidden[] = {1, 0};
    model->SetVisibility(hidden, 2);
    EXPECT_EQ(heights(), (std::vector<int>{1, 1}));
    const std::uint8_t shown[] = {1, 1};
    model->SetVisibility(shown, 2);
    EXPECT_EQ(heights(), (std::vector<int>{2, 1}));
    EXPECT_EQ(model->ViewState().total_text_lines, 2 + 2 + 1);  // titles, column numbers, rows
    ExpectDevicesTidy();
}

TEST_F(GridModelTest, PictureColumnsTakeTheBitmapWidthScaledForThePrinter) {
    pictures.sizes["face.bmp"] = PictureSize{100, 50};
    model->SetCellTextSource(&TestCellText, nullptr);
    model->AddColumn(11, "");
    GridColumnInfo info = InfoOf(*model, 1);
    info.type = ColumnType::Picture;
    model->SetColumnInfo(1, info);
    g_cells[{0, 11}] = "missing.bmp";
    g_cells[{1, 11}] = "face.bmp";
    model->SetRowCount(2);
    model->ApplyNaturalWidths();
    EXPECT_EQ(model->Column(1)->width, 100 + ScreenPad());
    EXPECT_EQ(model->Column(1)->print_width, 313 + PrintPad());  // 100 px at 96 dpi on 300 dpi

    // A picture that does not load adds nothing; its name is not measured as text.
    g_cells[{1, 11}] = "also-missing.bmp";
    model->ApplyNaturalWidths();
    EXPECT_EQ(model->Column(1)->width, ScreenPad());
    EXPECT_EQ(model->Column(1)->print_width, PrintPad());
}

TEST_F(GridModelTest, NaturalWidthsUnchangedLeaveTheModifiedFlag) {
    model->SetCellTextSource(&TestCellText, nullptr);
    model->AddColumn(11, "Name");
    g_cells[{0, 11}] = "value";
    model->SetRowCount(1);
    model->ApplyNaturalWidths();
    EXPECT_TRUE(model->IsModified());
    const int redraws = view.redraws;
    model->SetModified(false);
    model->ApplyNaturalWidths();
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(view.redraws, redraws + 1);
}

TEST_F(GridModelTest, ScrollHomeGoesToTheTopLeft) {
    model->ViewState().horizontal_offset = -20;
    model->ViewState().top_line = 5;
    model->ViewState().top_sub_line = 1;
    model->ScrollHome(false);
    EXPECT_EQ(model->ViewState().horizontal_offset, 0);
    EXPECT_EQ(model->ViewState().top_line, 0);
    EXPECT_EQ(model->ViewState().top_sub_line, 0);
    EXPECT_EQ(view.redraws, 0);
    model->ScrollHome(true);
    EXPECT_EQ(view.redraws, 1);
}

TEST_F(GridModelTest, LayoutFilePathIsKeptUpTo259Bytes) {
    EXPECT_TRUE(model->SetLayoutFilePath("C:\\data\\table.fmt"));
    EXPECT_STREQ(model->LayoutFilePath(), "C:\\data\\table.fmt");
    EXPECT_FALSE(model->SetLayoutFilePath(std::string(260, 'p').c_str()));
    EXPECT_STREQ(model->LayoutFilePath(), "C:\\data\\table.fmt");
    EXPECT_TRUE(model->SetLayoutFilePath(std::string(259, 'p').c_str()));
    EXPECT_TRUE(model->SetLayoutFilePath(nullptr));
    EXPECT_STREQ(model->LayoutFilePath(), "");
}

}  // namespace
